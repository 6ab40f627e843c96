#include "app/TNyxelApp.h"

#include "app/TNyxelWindow.h"

namespace nyxel {

TNyxelApp::TNyxelApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Nyxel"));
}

TNyxelApp::~TNyxelApp() = default;

int TNyxelApp::Run(const std::filesystem::path& drive_root, const StartOptions& options) {
  // The window program keeps its View choices from run to run.
  StartOptions start = options;
  start.keep_view_choices = true;
  window_ = std::make_unique<TNyxelWindow>(drive_root, nullptr, nullptr, nullptr, start);
  window_->show();
  return exec();
}

}  // namespace nyxel
