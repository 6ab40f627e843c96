#pragma once
// The application object: named "Nyxel", it makes the main window on the drive folder and runs it.
#include <QApplication>
#include <filesystem>
#include <memory>

namespace nyxel {

class TNyxelWindow;
struct StartOptions;

class TNyxelApp : public QApplication {
  Q_OBJECT

 public:
  TNyxelApp(int& argc, char** argv);
  ~TNyxelApp() override;

  // Creates and shows the main window on `drive_root`; the event loop's exit code is the result.
  int Run(const std::filesystem::path& drive_root, const StartOptions& options);
  TNyxelWindow* mainWindow() const { return window_.get(); }

 private:
  std::unique_ptr<TNyxelWindow> window_;
};

}  // namespace nyxel
