// The camera dialog, the camera command on the simulated camera, focus mode and the focus frame centre.
#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "app/TMESSDialog.h"
#include "app/TQKDialog.h"
#include "core/RecordingHost.h"
#include "telescope/sim/Simulation.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

struct DialogRig {
  DialogRig() : values{run, bits, all, max_value} {
    values.dark_file = "c:\\dark.def";
    values.last_file_no = 42;
    values.autosave_dir = "c:\\AUTOSAVE";
    values.guiding_frames = 7;
  }
  RunSettings run;
  int bits = 14;
  int all = 0;
  int max_value = 1234;
  CameraDialogValues values;
  RecordingHost host;
};

TEST(TQKDialogTest, EveryControlActsAndRefreshes) {
  EnsureQtApp();
  DialogRig r;
  TQKDialog dialog(r.values, r.host);
  EXPECT_EQ(dialog.windowTitle(), "Quorra RV9 - Camera Control Interface");
  EXPECT_EQ(dialog.edit(110)->text(), "1234");
  EXPECT_EQ(dialog.edit(116)->text(), "c:\\dark.def");
  EXPECT_EQ(dialog.edit(118)->text(), "42");
  EXPECT_EQ(dialog.edit(129)->text(), "c:\\AUTOSAVE");
  EXPECT_EQ(dialog.edit(126)->text(), "7");
  EXPECT_TRUE(dialog.edit(127)->text().isEmpty());
  EXPECT_TRUE(dialog.button(704)->isChecked());

  // The unit radio buttons with the unit table; the value bar follows the unit's range.
  const std::pair<int, char> units[] = {{701, 'q'}, {702, 'h'}, {703, 't'}, {705, 'm'}, {704, 's'}};
  for (const auto& [id, letter] : units) {
    dialog.button(id)->click();
    EXPECT_EQ(r.run.ExposureUnit, letter);
    EXPECT_EQ(r.run.ExposureMax, UnitMaximum(letter));
    EXPECT_EQ(dialog.bar(104)->maximum(), UnitMaximum(letter));
    EXPECT_EQ(dialog.edit(105)->text(), QString::number(r.run.ExposureValue));
    for (const auto& [other, unused] : units) EXPECT_EQ(dialog.button(other)->isChecked(), other == id);
  }

  // Counters: the upper arrow (the bar's "sub" line) raises, the lower arrow lowers, each within its bounds.
  constexpr auto kUp = QAbstractSlider::SliderSingleStepSub;
  constexpr auto kDown = QAbstractSlider::SliderSingleStepAdd;
  struct Step {
    int bar, edit;
    int RunSettings::*field;
    int start;
    QAbstractSlider::SliderAction action;
    int expected;
  };
  const Step steps[] = {
      {104, 105, &RunSettings::ExposureValue, 1, kDown, 1},
      {104, 105, &RunSettings::ExposureValue, 2, kDown, 1},
      {104, 105, &RunSettings::ExposureValue, 299, kUp, 300},
      {104, 105, &RunSettings::ExposureValue, 300, kUp, 300},
      {104, 105, &RunSettings::ExposureValue, 10, QAbstractSlider::SliderPageStepSub, 11},
      {111, 112, &RunSettings::ExposureCount, 1, kDown, 1},
      {111, 112, &RunSettings::ExposureCount, 19, kUp, 20},
      {111, 112, &RunSettings::ExposureCount, 20, kUp, 20},
      {120, 121, &RunSettings::PauseMinutes, 0, kDown, 0},
      {120, 121, &RunSettings::PauseMinutes, 1, kDown, 0},
      {120, 121, &RunSettings::PauseMinutes, 20, kUp, 20},
  };
  for (const Step& s : steps) {
    r.run.*s.field = s.start;
    dialog.RefreshDialog();
    dialog.bar(s.bar)->triggerAction(s.action);
    EXPECT_EQ(r.run.*s.field, s.expected) << s.bar << " from " << s.start;
    EXPECT_EQ(dialog.edit(s.edit)->text(), QString::number(s.expected));
    EXPECT_EQ(dialog.bar(s.bar)->value(), s.expected);
  }
  // The real arrows: a click on the top of the bar raises the value, one on the bottom lowers it, and
  // the thumb stands higher for a larger value.
  dialog.show();
  r.run.ExposureCount = 5;
  dialog.RefreshDialog();
  QScrollBar* count_bar = dialog.bar(111);
  QTest::mouseClick(count_bar, Qt::LeftButton, {}, QPoint(count_bar->width() / 2, 2));
  EXPECT_EQ(r.run.ExposureCount, 6);
  QTest::mouseClick(count_bar, Qt::LeftButton, {}, QPoint(count_bar->width() / 2, count_bar->height() - 3));
  QTest::mouseClick(count_bar, Qt::LeftButton, {}, QPoint(count_bar->width() / 2, count_bar->height() - 3));
  EXPECT_EQ(r.run.ExposureCount, 4);
  EXPECT_TRUE(count_bar->invertedAppearance());

  // Typed values: taken within the arrows' range (Enter or leaving the field), else a beep and the
  // old value; Enter never reaches the dialog's default button.
  struct Typed {
    int edit;
    int RunSettings::*field;
    const char* text;
    int expected;
    bool beep;
  };
  r.run.ExposureUnit = 's';
  r.run.ExposureMax = UnitMaximum('s');
  const Typed typed[] = {
      {105, &RunSettings::ExposureValue, "250", 250, false},
      {105, &RunSettings::ExposureValue, " 7 ", 7, false},
      {105, &RunSettings::ExposureValue, "0", 7, true},
      {105, &RunSettings::ExposureValue, "301", 7, true},
      {105, &RunSettings::ExposureValue, "abc", 7, true},
      {105, &RunSettings::ExposureValue, "", 7, true},
      {112, &RunSettings::ExposureCount, "20", 20, false},
      {112, &RunSettings::ExposureCount, "21", 20, true},
      {121, &RunSettings::PauseMinutes, "0", 0, false},
      {121, &RunSettings::PauseMinutes, "-1", 0, true},
  };
  bool accepted = false;
  QObject::connect(&dialog, &QDialog::accepted, [&] { accepted = true; });
  for (const Typed& t : typed) {
    const size_t beeps = r.host.beeps.size();
    QLineEdit* e = dialog.edit(t.edit);
    EXPECT_FALSE(e->isReadOnly());
    e->setFocus();
    e->setText(QString::fromLatin1(t.text));
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(r.run.*t.field, t.expected) << t.edit << " '" << t.text << "'";
    EXPECT_EQ(e->text(), QString::number(t.expected)) << t.edit << " '" << t.text << "'";
    EXPECT_EQ(r.host.beeps.size(), beeps + (t.beep ? 1 : 0)) << t.edit << " '" << t.text << "'";
  }
  EXPECT_FALSE(accepted);
  EXPECT_TRUE(dialog.isVisible());
  dialog.hide();

  // The stretch bar: PaletteBits 12..16, pages to the ends.
  const std::tuple<int, QAbstractSlider::SliderAction, int> bits[] = {
      {12, QAbstractSlider::SliderSingleStepSub, 12},
      {14, QAbstractSlider::SliderSingleStepAdd, 15},
      {16, QAbstractSlider::SliderSingleStepAdd, 16},
      {14, QAbstractSlider::SliderPageStepSub, 12},
      {13, QAbstractSlider::SliderPageStepAdd, 16}};
  for (const auto& [start, action, expected] : bits) {
    r.bits = start;
    dialog.RefreshDialog();
    dialog.bar(130)->triggerAction(action);
    EXPECT_EQ(r.bits, expected);
    EXPECT_EQ(dialog.edit(131)->text(), QString::number(expected));
  }

  // Each check box toggles its flag and shows it.
  const std::pair<int, bool RunSettings::*> checks[] = {{113, &RunSettings::AlternativeSlew},
                                                        {114, &RunSettings::AverageExposures},
                                                        {115, &RunSettings::AutoSave},
                                                        {106, &RunSettings::AutoRemoveDark},
                                                        {117, &RunSettings::DelayBeforeExposure},
                                                        {119, &RunSettings::ContinuousMode},
                                                        {122, &RunSettings::AutoExposureMode},
                                                        {124, &RunSettings::AutoColourConvert},
                                                        {710, &RunSettings::PauseBetweenExposures}};
  for (const auto& [id, flag] : checks) {
    dialog.button(id)->click();
    EXPECT_TRUE(r.run.*flag) << id;
    EXPECT_TRUE(dialog.button(id)->isChecked());
    dialog.button(id)->click();
    EXPECT_FALSE(r.run.*flag) << id;
    EXPECT_FALSE(dialog.button(id)->isChecked());
  }
  dialog.button(132)->click();
  EXPECT_EQ(r.all, 1);
  dialog.button(132)->click();
  EXPECT_EQ(r.all, 0);

  // Self-guiding is not available yet: its buttons are greyed out, never faked.
  EXPECT_FALSE(dialog.button(123)->isEnabled());
  EXPECT_FALSE(dialog.button(125)->isEnabled());
  r.run.SelfGuideNext = true;
  r.run.GuidingUnit = 'h';
  r.run.GuidingValue = 50;
  dialog.RefreshDialog();
  EXPECT_EQ(dialog.edit(127)->text(), "50");
  EXPECT_EQ(dialog.edit(128)->text(), "hundredths");

  // Help.
  dialog.button(9)->click();
  ASSERT_EQ(r.host.boxes.size(), 1u);
  EXPECT_EQ(r.host.boxes[0].caption, "TESSWIN - Control QK Camera");
  EXPECT_EQ(r.host.boxes[0].text.substr(0, 67),
            "Select exposure range using Radio buttons on left of dialog Window ");
  EXPECT_NE(r.host.boxes[0].text.find("Press Right Hand mouse button anywhere in Tesswin Window  to "
                                      "prematurely terminate an exposure"),
            std::string::npos);
  EXPECT_EQ(r.host.boxes[0].text.size(), std::string(TQKDialog::kHelpText).size());
}

class CameraWindowTest : public WindowTest {};

TEST_F(CameraWindowTest, NoCameraShowsMessageAndNoDialog) {
  int dialogs = 0;
  on_dialog = [&](QDialog&) {
    ++dialogs;
    return static_cast<int>(QDialog::Rejected);
  };
  ASSERT_TRUE(window->CommandEnabled(12));
  window->RunCommand(12);
  EXPECT_EQ(dialogs, 0);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "Sorry, No camera found on USB");
}

TEST_F(CameraWindowTest, SimulatedPhotoAndFocusMode) {
  MakeWindow(dir.path() / "sim", StartOptions{true, 3});
  ASSERT_NE(window->simulation(), nullptr);
  EXPECT_TRUE(window->windowTitle().endsWith(" (simulated camera)"));
  window->session().settings.focus_delay = false;
  int pauses = 0;
  QImage focus_picture;
  QString max_value, hfr, fwhm;
  bool take_photo = false;
  on_dialog = [&](QDialog& d) {
    if (auto* pause = qobject_cast<TMESSDialog*>(&d)) {
      ++pauses;
      EXPECT_EQ(pause->windowTitle(), "Focus Frame Pause");
      return static_cast<int>(QDialog::Rejected);  // Stop
    }
    auto* qk = qobject_cast<TQKDialog*>(&d);
    EXPECT_NE(qk, nullptr);
    if (!take_photo) {
      qk->button(703)->click();  // tenths, value 1
      qk->button(710)->click();  // ask between focus frames
      qk->button(108)->click();  // focus mode: one frame, then Stop in the pause box
      focus_picture = qk->focusPicture();
      max_value = qk->edit(110)->text();
      hfr = qk->edit(TQKDialog::kHfrEdit)->text();
      fwhm = qk->edit(TQKDialog::kFwhmEdit)->text();
      qk->button(710)->click();
      return static_cast<int>(QDialog::Rejected);
    }
    qk->button(703)->click();
    qk->button(115)->click();  // Auto Save Image: through the window's quick save and its note
    return static_cast<int>(QDialog::Accepted);
  };
  window->RunCommand(12);
  EXPECT_EQ(pauses, 1);
  EXPECT_EQ(focus_picture.size(), QSize(128, 128));
  EXPECT_GT(max_value.toInt(), 100);
  // The simulated star (sigma 1.2 pixels): a half-flux radius near 1.4 and a FWHM near 2.8, one decimal.
  EXPECT_NEAR(hfr.toDouble(), 1.4, 0.3) << hfr.toStdString();
  EXPECT_NEAR(fwhm.toDouble(), 2.8, 0.4) << fwhm.toStdString();
  EXPECT_EQ(hfr.size(), 3);
  EXPECT_EQ(window->observatory().state.FocusSizes.count, 1);
  const auto commands_before = window->simulation()->camera.commands.size();
  take_photo = true;
  window->RunCommand(12);
  const auto& commands = window->simulation()->camera.commands;
  bool full_read = false;
  for (size_t i = commands_before; i < commands.size(); ++i) {
    full_read |= commands[i].bytes[0] == 4 && commands[i].bytes[7] == 0 && commands[i].bytes[1] == 100;
  }
  EXPECT_TRUE(full_read) << "a 0.1 s frame read with the camera's own timing";
  EXPECT_EQ(window->session().store.CurrentFileName, "RV Camera Image");
  EXPECT_TRUE(window->windowTitle().startsWith("Nyxel - RV Camera Image"));
  EXPECT_TRUE(window->PictureLoaded());
  EXPECT_EQ(window->picture().height(), 290);
  EXPECT_EQ(window->observatory().camera.FocusWindowX, 184);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "sim" / "autosave" / "IMG1.FIT"));
  EXPECT_FALSE(window->observatory().quick_save) << "the window's quick save is the run's only while it runs";
}

TEST_F(CameraWindowTest, FocusFrameCentreClickAndDefault) {
  ASSERT_TRUE(window->CommandEnabled(19));
  window->RunCommand(19);
  emit window->onPictureLeftClick(500, 10);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "x position =   440\ny position =    65");
  EXPECT_EQ(window->observatory().camera.FocusWindowX, 376);
  EXPECT_EQ(window->observatory().camera.FocusWindowY, 1);
  // Only the first click after the command counts.
  const size_t shown = boxes.size();
  emit window->onPictureLeftClick(200, 200);
  EXPECT_EQ(boxes.size(), shown);
  window->RunCommand(20);
  EXPECT_EQ(window->observatory().camera.FocusWindowX, 184);
  EXPECT_EQ(window->observatory().camera.FocusWindowY, 65);
}

TEST_F(CameraWindowTest, CommandsWaitWhileARunIsUnderWay) {
  window->observatory().state.Running = true;
  for (int id : {12, 19, 20, 24332, 128, 9}) EXPECT_FALSE(window->CommandEnabled(id)) << id;
  EXPECT_TRUE(window->CommandEnabled(113));
  window->observatory().state.Running = false;
  EXPECT_TRUE(window->CommandEnabled(12));
}

}  // namespace
}  // namespace nyxel::test
