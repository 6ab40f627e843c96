#include "tests/app/AppTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <cstdlib>

namespace nyxel::test {

void EnsureQtApp() {
  if (QApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "tests_app";
  static char* argv[] = {name, nullptr};
  // Never destroyed: a static QApplication would be torn down after Qt's own globals at exit.
  new QApplication(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Nyxel"));
}

void WindowTest::SetUp() {
  setenv("HOME", dir.path().c_str(), 1);
  EnsureQtApp();
  MakeWindow(dir.path() / "drive");
}

void WindowTest::TearDown() {
  window.reset();
}

void WindowTest::MakeWindow(const std::filesystem::path& drive_root, StartOptions options) {
  window.reset();
  window = std::make_unique<TNyxelWindow>(
      drive_root, &clock,
      [this](const QtHost::Box& box) {
        boxes.push_back(box);
        return kIdOk;
      },
      nullptr, options);
  window->dialog_runner = [this](QDialog& dialog) {
    return on_dialog ? on_dialog(dialog) : static_cast<int>(QDialog::Rejected);
  };
}

std::vector<std::string> WindowTest::BoxTexts() const {
  std::vector<std::string> texts;
  for (const auto& b : boxes) texts.push_back(b.text);
  return texts;
}

}  // namespace nyxel::test
