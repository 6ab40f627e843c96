// The INDI Server dialog and its way in from Set Program Defaults: the values it returns, what it
// refuses, the device list from the server, and the choice saved beside the settings record.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/TINIDialog.h"
#include "app/TIndiDialog.h"
#include "files/ProgramPrefs.h"
#include "files/SetProgramDefaults.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

TEST(TIndiDialogTest, ValuesRefusalsAndDeviceList) {
  EnsureQtApp();
  struct Case {
    const char* host;
    const char* port;
    const char* mount;
    const char* fast;
    bool enabled;
    bool accepted;
  };
  const Case cases[] = {
      {"scope.lan", "7000", "Telescope Simulator", "150", true, true},
      {"localhost", "7624", "", "200", false, true},  // off: no mount needed
      {"localhost", "0", "EQMod Mount", "200", true, false},
      {"localhost", "70000", "EQMod Mount", "200", true, false},
      {"", "7624", "EQMod Mount", "200", true, false},
      {"localhost", "7624", "", "200", true, false},  // on without a mount
      {"localhost", "7624", "EQMod Mount", "0", true, false},
  };
  for (const Case& c : cases) {
    IndiChoice start;
    start.mount = "Old Mount";
    TIndiDialog d(start, nullptr);
    d.enabled_box->setChecked(c.enabled);
    d.host_edit->setText(c.host);
    d.port_edit->setText(c.port);
    d.mount_box->setEditText(c.mount);
    d.fast_edit->setText(c.fast);
    d.accept();
    EXPECT_EQ(d.result() == QDialog::Accepted, c.accepted) << c.host << ":" << c.port << " " << c.mount;
    if (!c.accepted) {
      EXPECT_FALSE(d.status_label->text().isEmpty());
      EXPECT_EQ(d.choice().mount, "Old Mount");  // refused input leaves the choice alone
      continue;
    }
    EXPECT_EQ(d.choice().host, c.host);
    EXPECT_EQ(d.choice().port, std::stoi(c.port));
    EXPECT_EQ(d.choice().mount, c.mount);
    EXPECT_EQ(d.choice().enabled, c.enabled);
    EXPECT_EQ(d.choice().focus_fast_steps, std::stoi(c.fast));
  }

  // List Devices asks the server at the entered address and offers what it has.
  std::string asked;
  TIndiDialog d(IndiChoice{}, [&](const std::string& host, int port, std::string& error) {
    asked = host + ":" + std::to_string(port);
    if (port == 1) {
      error = "There is no INDI server at nowhere:1.";
      return std::vector<std::string>{};
    }
    return std::vector<std::string>{"Telescope Simulator", "Focuser Simulator"};
  });
  d.enabled_box->setChecked(true);  // on, with no mount yet: listing is how one is found
  d.host_edit->setText("observatory");
  d.port_edit->setText("7625");
  d.list_button->click();
  EXPECT_EQ(asked, "observatory:7625");
  ASSERT_EQ(d.mount_box->count(), 2);
  EXPECT_EQ(d.mount_box->itemText(1), "Focuser Simulator");
  EXPECT_EQ(d.focuser_box->count(), 3);  // and none
  d.focuser_box->setCurrentIndex(2);
  d.port_edit->setText("1");
  d.list_button->click();
  EXPECT_EQ(d.status_label->text(), "There is no INDI server at nowhere:1.");
  EXPECT_EQ(d.mount_box->count(), 0);
}

class IndiDefaultsTest : public WindowTest {};

TEST_F(IndiDefaultsTest, ChosenFromProgramDefaultsSavedAndUsed) {
  window->session().settings.guide_interface = 'n';
  window->UpdateControlBar();
  bool saw_indi = false;
  on_dialog = [&](QDialog& d) {
    if (auto* indi = dynamic_cast<TIndiDialog*>(&d)) {
      saw_indi = true;
      EXPECT_EQ(indi->windowTitle(), QStringLiteral("INDI Server"));
      EXPECT_EQ(indi->port_edit->text(), QStringLiteral("7624"));
      indi->enabled_box->setChecked(true);
      indi->host_edit->setText("scope.lan");
      indi->mount_box->setEditText("Telescope Simulator");
      indi->focuser_box->setEditText("Focuser Simulator");
      indi->accept();
      return indi->result();
    }
    auto& ini = dynamic_cast<TINIDialog&>(d);
    EXPECT_FALSE(ini.button(SetProgramDefaults::kGuideLx200)->isChecked());
    ini.indi_button->click();
    // Choosing INDI makes the record say LX200, so the telescope commands are enabled.
    EXPECT_TRUE(ini.button(SetProgramDefaults::kGuideLx200)->isChecked());
    ini.button(SetProgramDefaults::kSaveChanges)->click();
    return ini.result();
  };
  ASSERT_TRUE(window->RunCommand(122));
  EXPECT_TRUE(saw_indi);
  EXPECT_EQ(window->session().settings.guide_interface, 'l');
  EXPECT_EQ(window->ControlBarIds().back(), 127);
  EXPECT_NE(window->observatory().link.backend, nullptr);
  ProgramPrefs prefs;
  ASSERT_TRUE(prefs.Load(window->session().drive));
  EXPECT_EQ(prefs.Get("indi.enabled"), "1");
  EXPECT_EQ(prefs.Get("indi.host"), "scope.lan");
  EXPECT_EQ(prefs.Get("indi.mount"), "Telescope Simulator");
  EXPECT_EQ(prefs.Get("indi.focuser"), "Focuser Simulator");

  // The next start of the window uses the saved choice.
  MakeWindow(dir.path() / "drive");
  EXPECT_NE(window->observatory().link.backend, nullptr);
  EXPECT_EQ(window->session().settings.guide_interface, 'l');
}

}  // namespace
}  // namespace nyxel::test
