#pragma once
// Window tests: one offscreen QApplication for the whole test program, and a fixture with a main window
// on a fresh drive folder whose message boxes and modal dialogs answer without blocking.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/QtHost.h"
#include "app/TNyxelWindow.h"
#include "core/Clock.h"
#include "tests/support/TestSupport.h"

class QDialog;

namespace nyxel::test {

// Creates the application on first use (offscreen unless a platform was chosen).
void EnsureQtApp();

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Makes the window (SetUp does; call again after changing the drive folder).
  void MakeWindow(const std::filesystem::path& drive_root, StartOptions options = {});
  std::vector<std::string> BoxTexts() const;

  TempDir dir;
  SimulatedClock clock;
  std::vector<QtHost::Box> boxes;
  // Answers modal dialogs; by default closes them with their reject code.
  std::function<int(QDialog&)> on_dialog;
  std::unique_ptr<TNyxelWindow> window;
};

}  // namespace nyxel::test
