// "Telescope Control": the link opens, the dialog of the interface appears, and every control sends
// its commands to the far end.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/TCBDialog.h"
#include "app/TMTDialog.h"
#include "app/TQKDialog.h"
#include "camera/sim/SimulatedSky.h"
#include "files/SettingsFile.h"
#include "telescope/sim/SimulatedMount.h"
#include "telescope/sim/Simulation.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel {
namespace {

constexpr int kTelescopeControl = 127;

struct TelescopeTest : test::WindowTest {
  SimulatedSky sky{clock, 1};
  SimulatedMount mount{sky};

  // The settings file decides the interface: the command reloads it.
  void UseInterface(char interface) {
    Session& s = window->session();
    s.settings.guide_interface = interface;
    ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
    window->observatory().link.port = &mount;
  }
  std::vector<std::string> Puts() const {
    std::vector<std::string> out;
    for (const auto& c : mount.calls) {
      if (c.text.rfind("Puts ", 0) == 0) out.push_back(c.text.substr(5));
    }
    return out;
  }
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    for (const auto& c : mount.calls) out.push_back(c.text);
    return out;
  }
  template <typename T>
  T* Control(TMTDialog* d, int id) {
    return static_cast<T*>(d->control(id));
  }
  void Hold(TArrowBar* bar, QAbstractSlider::SliderAction action, int repeats) {
    for (int i = 0; i < repeats; ++i) bar->triggerAction(action);
    QTest::mouseRelease(bar, Qt::LeftButton);
  }
};

TEST_F(TelescopeTest, TheLX200DialogSendsWhatItsControlsAsk) {
  window->session().settings.guide_interface = 'n';
  EXPECT_FALSE(window->CommandEnabled(kTelescopeControl));
  UseInterface('l');
  EXPECT_TRUE(window->CommandEnabled(kTelescopeControl));
  ASSERT_TRUE(window->RunCommand(kTelescopeControl));
  auto* d = window->findChild<TMTDialog*>();
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(d->isModal());
  EXPECT_EQ(d->windowTitle(), QStringLiteral("NYXEL_RV9 Move Telescope"));
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"Reset 0 1024 1024", "Baud 5", "Dtr S", "Rts S", "Parms 0 0 8"}));

  // Go-to by number: Messier 0 with CNGC 224 goes to CNGC 224; Messier 111 alone is refused.
  struct Object {
    QString messier, cngc;
    std::vector<std::string> puts;
  };
  for (const Object& o : std::vector<Object>{{"0", "224", {"#:LC 0224#", "#:LI#", "#:MS#", "#:LI#"}},
                                             {"31", "224", {"#:LM 0031#", "#:LI#", "#:MS#", "#:LI#"}},
                                             {"111", "0", {}}}) {
    mount.calls.clear();
    boxes.clear();
    Control<QLineEdit>(d, 101)->setText(o.messier);
    Control<QLineEdit>(d, 102)->setText(o.cngc);
    Control<QPushButton>(d, 103)->click();
    EXPECT_EQ(Puts(), o.puts) << o.messier.toStdString();
    if (o.puts.empty()) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, "Object out of range - try again");
      EXPECT_EQ(boxes[0].caption, "Nyxel_RV9 - Control Telescope");
    } else {
      EXPECT_TRUE(boxes.empty());
      EXPECT_EQ(Control<QPlainTextEdit>(d, 117)->toPlainText().toStdString(),
                window->observatory().link.ReplyText);
    }
  }

  // Coordinates, and the planets' numbers.
  mount.calls.clear();
  const QString coords[4] = {"5", "34", "22", "1"};
  for (int i = 0; i < 4; ++i) Control<QLineEdit>(d, 112 + i)->setText(coords[i]);
  Control<QPushButton>(d, 116)->click();
  EXPECT_EQ(Puts(), (std::vector<std::string>{"#:Sr 05:34.0#", "#:Sd +22*01#", "#:LI#", "#:MS#"}));
  boxes.clear();
  Control<QLineEdit>(d, 114)->setText("-90");
  mount.calls.clear();
  Control<QPushButton>(d, 116)->click();
  EXPECT_TRUE(mount.calls.empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nyxel_R9 - Control Telescope");
  mount.calls.clear();
  Control<QPushButton>(d, 104 + 3)->click();  // Jupiter
  EXPECT_EQ(Puts().at(0), "#:LS 0905#");
  EXPECT_EQ(Control<QPushButton>(d, 111)->text(), QStringLiteral("Pluto"));

  // Rates: the button changes the stored command, the refresh checks the matching one.
  Control<QRadioButton>(d, 121)->click();
  EXPECT_EQ(window->observatory().link.SlewRateCommand, "#:RM#");
  EXPECT_TRUE(Control<QRadioButton>(d, 121)->isChecked());
  EXPECT_FALSE(Control<QRadioButton>(d, 120)->isChecked());
  window->observatory().link.SlewRateCommand = "#:RS#";
  d->Refresh();
  EXPECT_TRUE(Control<QRadioButton>(d, 120)->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(d, 126)->isChecked());

  // Hold east and let go: the rate and the move once, then the four stops.
  mount.calls.clear();
  Hold(Control<TArrowBar>(d, 118), QAbstractSlider::SliderSingleStepAdd, 3);
  EXPECT_EQ(Puts(), (std::vector<std::string>{"#:RS#", "#:Me#", "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#"}));
  mount.calls.clear();
  Hold(Control<TArrowBar>(d, 119), QAbstractSlider::SliderSingleStepSub, 1);
  EXPECT_EQ(Puts().at(1), "#:Mn#");
  // With east and west swapped the east arrow sends west.
  window->session().settings.drive_directions = {'n', 's', 'w', 'e'};
  mount.calls.clear();
  Hold(Control<TArrowBar>(d, 118), QAbstractSlider::SliderSingleStepAdd, 1);
  EXPECT_EQ(Puts().at(1), "#:Mw#");
  // Focus in at the fast speed.
  Control<QRadioButton>(d, 125)->click();
  mount.calls.clear();
  Hold(Control<TArrowBar>(d, 124), QAbstractSlider::SliderSingleStepSub, 2);
  EXPECT_EQ(Puts(), (std::vector<std::string>{"#:FF#", "#:F+#", "#:FQ#"}));

  boxes.clear();
  Control<QPushButton>(d, 9)->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Nyxel - Control Telescope");
  EXPECT_EQ(boxes[0].text.substr(0, 32), "Enter a Messier or CNGC number a");

  // A second command raises the open dialog; Finished closes it and the link stays open.
  mount.calls.clear();
  ASSERT_TRUE(window->RunCommand(kTelescopeControl));
  EXPECT_EQ(window->findChildren<TMTDialog*>().size(), 1u);
  EXPECT_TRUE(mount.calls.empty());
  Control<QPushButton>(d, 2)->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(window->findChild<TMTDialog*>(), nullptr);
  EXPECT_TRUE(window->observatory().link.TelescopeLinkOpen);
}

TEST_F(TelescopeTest, TheDirectionArrowsAreLabelledAndShowTheSwap) {
  UseInterface('l');
  ASSERT_TRUE(window->RunCommand(kTelescopeControl));
  auto* d = window->findChild<TMTDialog*>();
  ASSERT_NE(d, nullptr);
  auto label = [d](const QString& text) -> QLabel* {
    for (QLabel* l : d->findChildren<QLabel*>()) {
      if (l->text() == text) return l;
    }
    return nullptr;
  };
  auto at = [d](QWidget* w) { return QRect(w->mapTo(d, QPoint(0, 0)), w->size()); };
  for (const char* letter : {"N", "S", "E", "W"}) ASSERT_NE(label(letter), nullptr) << letter;
  const QRect ns = at(Control<QWidget>(d, 119)), ew = at(Control<QWidget>(d, 118));
  // N above the up arrow, S below the down arrow, W left of the left arrow, E right of the right one.
  EXPECT_LE(at(label("N")).bottom(), ns.top());
  EXPECT_GE(at(label("S")).top(), ns.bottom());
  EXPECT_LE(at(label("W")).right(), ew.left());
  EXPECT_GE(at(label("E")).left(), ew.right());

  struct Case {
    std::array<char, 4> directions;
    QString note;
  } cases[] = {
      {{'n', 's', 'e', 'w'}, ""},
      {{'s', 'n', 'e', 'w'}, "N and S swapped"},
      {{'n', 's', 'w', 'e'}, "E and W swapped"},
      {{'s', 'n', 'w', 'e'}, "N and S swapped, E and W swapped"},
  };
  for (const Case& c : cases) {
    window->session().settings.drive_directions = c.directions;
    d->Refresh();
    EXPECT_EQ(TMTDialog::SwapNote(c.directions), c.note);
    int shown = 0;
    for (QLabel* l : d->findChildren<QLabel*>()) shown += !c.note.isEmpty() && l->text() == c.note;
    EXPECT_EQ(shown, c.note.isEmpty() ? 0 : 1) << c.note.toStdString();
  }
}

TEST_F(TelescopeTest, TheControlBoxDialogMovesThroughRelayBytes) {
  UseInterface('b');
  ASSERT_TRUE(window->RunCommand(kTelescopeControl));
  auto* d = window->findChild<TCBDialog*>();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Move Telescope"));
  std::vector<std::string> opening = Calls();
  EXPECT_EQ(std::vector<std::string>(opening.end() - 3, opening.end()),
            (std::vector<std::string>{"Putc 13", "Putc 0", "Putc 0"}));
  mount.calls.clear();
  Hold(d->leftRight(), QAbstractSlider::SliderSingleStepSub, 2);
  Hold(d->upDown(), QAbstractSlider::SliderSingleStepAdd, 1);
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"Putc 8", "Putc 24", "Putc 0", "Putc 4", "Putc 20", "Putc 0"}));
}

TEST_F(TelescopeTest, ALinkThatDoesNotOpenGreysTheCommand) {
  UseInterface('l');
  mount.fail_call = "Baud";
  ASSERT_TRUE(window->RunCommand(kTelescopeControl));
  EXPECT_EQ(window->findChild<TMTDialog*>(), nullptr);
  std::vector<std::string> texts;
  for (const auto& b : boxes) texts.push_back(b.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"ERROR " + std::to_string(kSerialLineFailed) + " ",
                                             "Open Communications Failed", ""}));
  EXPECT_EQ(window->session().settings.guide_interface, 'n');
  EXPECT_FALSE(window->CommandEnabled(kTelescopeControl));
}

// nyxel --simulate: the dialog's commands go through the real serial port to the simulated mount on its
// pseudo-terminal, and the guide-rate move shifts the sky the simulated camera sees.
TEST_F(TelescopeTest, WithSimulateTheMountAnswersOnComOne) {
  StartOptions options;
  options.simulate = true;
  MakeWindow(dir.path() / "sim", options);
  Simulation* sim = window->simulation();
  ASSERT_NE(sim, nullptr);
  ASSERT_TRUE(std::filesystem::is_symlink(dir.path() / "sim" / "com1"));
  Session& s = window->session();
  s.settings.guide_interface = 'l';
  ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
  ASSERT_TRUE(window->RunCommand(kTelescopeControl));
  auto* d = window->findChild<TMTDialog*>();
  ASSERT_NE(d, nullptr) << (boxes.empty() ? "" : boxes[0].text);
  Control<QLineEdit>(d, 101)->setText("31");
  Control<QPushButton>(d, 103)->click();
  EXPECT_EQ(sim->mount.ReceivedText(), "#:LM 0031##:LI##:MS##:LI#");
  EXPECT_EQ(Control<QPlainTextEdit>(d, 117)->toPlainText().left(4), QStringLiteral("M31 "));

  Control<QRadioButton>(d, 123)->click();  // Guide
  const double x = sim->sky.Offset().x;
  d->control(118)->setFocus();
  static_cast<TArrowBar*>(d->control(118))->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  clock.Advance(500);
  QTest::mouseRelease(d->control(118), Qt::LeftButton);
  EXPECT_NEAR(sim->sky.Offset().x - x, 0.5 * SimulatedMountOptions{}.guide_rate_x, 1e-9);
  EXPECT_TRUE(boxes.empty());
}

// After a photo the window owns hidden dialogs (the progress window); the command must still open the
// telescope dialog, and a second command must bring that same dialog forward.
TEST_F(TelescopeTest, TelescopeControlOpensAfterAPhoto) {
  struct Case {
    char interface;
    QString title;
  };
  for (const Case& c :
       {Case{'l', QStringLiteral("NYXEL_RV9 Move Telescope")}, Case{'b', QStringLiteral("Move Telescope")}}) {
    MakeWindow(dir.path() / (std::string("sim-") + c.interface), StartOptions{true, 2});
    Session& s = window->session();
    s.settings.guide_interface = c.interface;
    ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
    on_dialog = [](QDialog& d) {
      auto* qk = qobject_cast<TQKDialog*>(&d);
      if (!qk) return static_cast<int>(QDialog::Rejected);
      qk->button(703)->click();  // a tenth of a second
      return static_cast<int>(QDialog::Accepted);
    };
    ASSERT_TRUE(window->RunCommand(12));
    on_dialog = {};
    int hidden = 0;
    for (QDialog* d : window->findChildren<QDialog*>()) hidden += !d->isVisible();
    ASSERT_GT(hidden, 0) << c.interface;  // what the look-up must not take for the telescope dialog
    auto shown = [&] {
      std::vector<QDialog*> found;
      for (QDialog* d : window->findChildren<QDialog*>()) {
        if (d->isVisible() && d->windowTitle() == c.title) found.push_back(d);
      }
      return found;
    };
    EXPECT_FALSE(window->observatory().link.TelescopeLinkOpen);
    boxes.clear();
    ASSERT_TRUE(window->RunCommand(kTelescopeControl));
    ASSERT_EQ(shown().size(), 1u) << c.interface << (boxes.empty() ? "" : " " + boxes[0].text);
    EXPECT_TRUE(window->observatory().link.TelescopeLinkOpen) << c.interface;
    QDialog* first = shown()[0];
    ASSERT_TRUE(window->RunCommand(kTelescopeControl));
    ASSERT_EQ(shown().size(), 1u) << c.interface;
    EXPECT_EQ(shown()[0], first);
    first->close();
  }
}

}  // namespace
}  // namespace nyxel
