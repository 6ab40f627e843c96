// A telescope that never answers, seen from the LX200 dialog: a message box names the port, and the
// next press, with the mount switched on, goes through on the same link.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/TMTDialog.h"
#include "camera/sim/SimulatedSky.h"
#include "files/SettingsFile.h"
#include "telescope/TelescopeLink.h"
#include "telescope/sim/SimulatedMount.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel {
namespace {

struct SilentMountTest : test::WindowTest {
  SimulatedSky sky{clock, 1};
  SimulatedMount mount{sky};
};

TEST_F(SilentMountTest, TheDialogSaysTheTelescopeDidNotAnswer) {
  Session& s = window->session();
  s.settings.guide_interface = 'l';
  ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
  window->observatory().link.port = &mount;
  ASSERT_TRUE(window->RunCommand(127));
  auto* d = window->findChild<TMTDialog*>();
  ASSERT_NE(d, nullptr);
  const std::string expected =
      "The telescope did not answer on serial port 1 (" + s.drive.SerialPort(1).string() + ")";
  struct Press {
    int button;
    const char* fields[4];  // Messier, CNGC edits (101, 102) or the coordinates (112..115)
  };
  for (const Press& p : {Press{103, {"31", "0"}}, Press{116, {"5", "34", "22", "1"}}}) {
    SCOPED_TRACE(p.button);
    const int first = p.button == 103 ? 101 : 112;
    for (int i = 0; i < (p.button == 103 ? 2 : 4); ++i) {
      static_cast<QLineEdit*>(d->control(first + i))->setText(p.fields[i]);
    }
    mount.answers = false;
    boxes.clear();
    static_cast<QPushButton*>(d->control(p.button))->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, expected);
    EXPECT_EQ(boxes[0].caption, "Nyxel");
    EXPECT_TRUE(window->observatory().link.TelescopeLinkOpen);

    mount.answers = true;
    boxes.clear();
    static_cast<QPushButton*>(d->control(p.button))->click();
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
    EXPECT_FALSE(window->observatory().link.NoAnswer);
    // "Info from Scope" shows what the telescope said.
    EXPECT_FALSE(static_cast<QPlainTextEdit*>(d->control(117))->toPlainText().isEmpty());
  }
}

}  // namespace
}  // namespace nyxel
