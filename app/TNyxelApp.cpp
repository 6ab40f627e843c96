#include "app/TNyxelApp.h"

#include "app/TNyxelWindow.h"

namespace nyxel {

TNyxelApp::TNyxelApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Nyxel"));
}

TNyxelApp::~TNyxelApp() = default;

int TNyxelApp::Run(const std::filesystem::path& drive_root, const StartOptions& options) {
  window_ = std::make_unique<TNyxelWindow>(drive_root, nullptr, nullptr, nullptr, options);
  window_->show();
  return exec();
}

}  // namespace nyxel
