// The Contrast and Filters menus: dialog rules and values, help texts, and the commands' wiring to the
// image, the undo frame and the history.
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "app/TMedianDialog.h"
#include "app/TNonLiniarDialog.h"
#include "app/TPowerDialog.h"
#include "app/TStretchDialog.h"
#include "app/TUnsharpDialog.h"
#include "core/RecordingHost.h"
#include "processing/Stretch.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

using Action = QAbstractSlider::SliderAction;

TEST(TStretchDialogTest, MovesThatWouldBreakBlackBelowWhiteAreRefused) {
  EnsureQtApp();
  constexpr int kThumb = -1;  // a thumb move to `to`
  struct Case {
    int black, white;
    bool white_bar;
    int action;
    int to;
    int want_black, want_white;
  };
  const Case cases[] = {
      {0, 255, false, Action::SliderSingleStepAdd, 0, 1, 255},
      {254, 255, false, Action::SliderSingleStepAdd, 0, 254, 255},
      {255, 300, false, Action::SliderSingleStepAdd, 0, 255, 300},
      {240, 255, false, Action::SliderPageStepAdd, 0, 250, 255},
      {245, 255, false, Action::SliderPageStepAdd, 0, 245, 255},
      {246, 300, false, Action::SliderPageStepAdd, 0, 246, 300},
      {0, 255, false, Action::SliderSingleStepSub, 0, 0, 255},
      {9, 255, false, Action::SliderPageStepSub, 0, 9, 255},
      {10, 255, false, Action::SliderPageStepSub, 0, 0, 255},
      {100, 101, true, Action::SliderSingleStepSub, 0, 100, 101},
      {100, 102, true, Action::SliderSingleStepSub, 0, 100, 101},
      {100, 110, true, Action::SliderPageStepSub, 0, 100, 110},
      {100, 111, true, Action::SliderPageStepSub, 0, 100, 101},
      {0, 299, true, Action::SliderSingleStepAdd, 0, 0, 300},
      {0, 300, true, Action::SliderSingleStepAdd, 0, 0, 300},
      {0, 290, true, Action::SliderPageStepAdd, 0, 0, 300},
      {0, 291, true, Action::SliderPageStepAdd, 0, 0, 291},
      {100, 200, true, kThumb, 100, 100, 200},
      {100, 200, true, kThumb, 150, 100, 150},
      {100, 200, false, kThumb, 200, 100, 200},
      {100, 200, false, kThumb, 199, 199, 200},
  };
  std::array<uint32_t, kHistogramBins> histogram{};
  RecordingHost host;
  for (const Case& c : cases) {
    NormalStretchValues values{c.black, c.white};
    TStretchDialog dialog(histogram, values, host);
    QScrollBar* bar = c.white_bar ? dialog.whiteBar() : dialog.blackBar();
    if (c.action == kThumb) {
      bar->setSliderPosition(c.to);
    } else {
      bar->triggerAction(static_cast<Action>(c.action));
    }
    EXPECT_EQ(values.black, c.want_black) << c.black << " " << c.white << " action " << c.action;
    EXPECT_EQ(values.white, c.want_white) << c.black << " " << c.white << " action " << c.action;
    EXPECT_EQ(dialog.blackBar()->value(), c.want_black);
    EXPECT_EQ(dialog.whiteBar()->value(), c.want_white);
    EXPECT_EQ(dialog.blackEdit()->text(), QString::number(c.want_black));
    EXPECT_EQ(dialog.whiteEdit()->text(), QString::number(c.want_white));
  }
}

TEST(TStretchDialogTest, HistogramBarsAreAFifthHighAndCutBarsRed) {
  EnsureQtApp();
  std::array<uint32_t, kHistogramBins> histogram{};
  histogram[10] = 5000;  // 1,000 pixels high: cut at 210
  histogram[20] = 100;   // 20 pixels high
  RecordingHost host;
  NormalStretchValues values;
  TStretchDialog dialog(histogram, values, host);
  TStretchHistogramView* view = dialog.histogramView();
  QImage image(view->sizeHint(), QImage::Format_RGB32);
  view->resize(view->sizeHint());
  view->render(&image);
  const int base = TStretchHistogramView::kBaseLine, left = TStretchHistogramView::kLeft;
  EXPECT_EQ(image.pixelColor(left + 10, base - 209), QColor(Qt::red));
  EXPECT_EQ(image.pixelColor(left + 10, base - 212), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(left + 20, base - 19), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(left + 20, base - 22), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(left + 30, base - 1), QColor(Qt::white));
}

TEST(StretchFilterDialogsTest, StepsStayInTheirRanges) {
  EnsureQtApp();
  RecordingHost host;
  struct Case {
    std::string name;
    int start;
    int action;
    int presses;
    int want;
    QString want_text;
  };
  // Power in tenths: down while above 0.2, up while below 3.0.
  const Case power_cases[] = {
      {"power down to 0.5", 10, Action::SliderSingleStepSub, 5, 5, "0.5"},
      {"power stops at 0.2", 3, Action::SliderSingleStepSub, 4, 2, "0.2"},
      {"power stops at 3.0", 28, Action::SliderSingleStepAdd, 5, 30, "3.0"},
  };
  for (const Case& c : power_cases) {
    PowerStretchValues values{c.start};
    TPowerDialog dialog(values, host);
    for (int i = 0; i < c.presses; ++i) dialog.powerBar()->triggerAction(static_cast<Action>(c.action));
    EXPECT_EQ(values.tenths, c.want) << c.name;
    EXPECT_EQ(dialog.powerEdit()->text(), c.want_text) << c.name;
  }
  const Case nonlinear_cases[] = {
      {"non-linear stops at 2", 4, Action::SliderSingleStepSub, 5, 2, "2"},
      {"non-linear stops at 50", 48, Action::SliderSingleStepAdd, 5, 50, "50"},
  };
  for (const Case& c : nonlinear_cases) {
    NonLinearValues values{c.start};
    TNonLiniarDialog dialog(values, host);
    for (int i = 0; i < c.presses; ++i) dialog.powerBar()->triggerAction(static_cast<Action>(c.action));
    EXPECT_EQ(values.power, c.want) << c.name;
    EXPECT_EQ(dialog.powerEdit()->text(), c.want_text) << c.name;
  }
  {
    UnsharpValues values;
    TUnsharpDialog dialog(values, host);
    EXPECT_EQ(dialog.radiusEdit()->text(), "3");
    for (int i = 0; i < 9; ++i) dialog.radiusBar()->triggerAction(Action::SliderSingleStepAdd);
    for (int i = 0; i < 3; ++i) dialog.powerBar()->triggerAction(Action::SliderSingleStepSub);
    EXPECT_EQ(values.radius, 7);
    EXPECT_EQ(values.power, 1);
    EXPECT_EQ(dialog.radiusEdit()->text(), "7");
    EXPECT_EQ(dialog.powerEdit()->text(), "1");
  }
  {
    MedianValues values;
    TMedianDialog dialog(values, host);
    EXPECT_EQ(dialog.powerEdit()->text(), "0.6");
    for (int i = 0; i < 6; ++i) dialog.powerBar()->triggerAction(Action::SliderSingleStepAdd);
    for (int i = 0; i < 5; ++i) dialog.radiusBar()->triggerAction(Action::SliderSingleStepAdd);
    EXPECT_EQ(values.power_tenths, 10);
    EXPECT_EQ(values.radius, 3);
    EXPECT_EQ(dialog.powerEdit()->text(), "1.0");
    for (int i = 0; i < 12; ++i) dialog.powerBar()->triggerAction(Action::SliderSingleStepSub);
    EXPECT_EQ(values.power_tenths, 1);
    EXPECT_EQ(dialog.powerEdit()->text(), "0.1");
  }
}

TEST(StretchFilterDialogsTest, HelpButtonsShowTheirTexts) {
  EnsureQtApp();
  RecordingHost host;
  std::array<uint32_t, kHistogramBins> histogram{};
  NormalStretchValues normal;
  PowerStretchValues power;
  NonLinearValues nonlinear;
  UnsharpValues unsharp;
  MedianValues median;
  TStretchDialog d1(histogram, normal, host);
  TPowerDialog d2(power, host);
  TNonLiniarDialog d3(nonlinear, host);
  TUnsharpDialog d4(unsharp, host);
  TMedianDialog d5(median, host);
  d1.helpButton()->click();
  d2.helpButton()->click();
  d3.helpButton()->click();
  d4.helpButton()->click();
  d5.helpButton()->click();
  ASSERT_EQ(host.boxes.size(), 5u);
  EXPECT_EQ(host.boxes[0].caption, "TESSARON - Normal Stretch");
  EXPECT_EQ(
      host.boxes[0].text,
      "Use controls to vary intensity from 0 to 255, where the lowest value will be shown as black and the "
      "highest by white. You can darken the whole image by increasing the white value to 300");
  EXPECT_EQ(host.boxes[1].caption, "TESSARON - Power Law Stretch");
  EXPECT_EQ(host.boxes[2].caption, "TESSARON - NonLiniar Filter");
  EXPECT_EQ(host.boxes[2].text, "Use controls to vary the Power from 2 to 50");
  EXPECT_EQ(host.boxes[3].text, "Use controls to vary the radius from 1 to 7, and the power from 1 to 7.");
  EXPECT_EQ(host.boxes[4].caption, "TESSARON - Median Filter");
  EXPECT_EQ(host.boxes[4].text, "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1.");
  // Nothing changed by asking for help.
  EXPECT_EQ(power.tenths, 10);
  EXPECT_EQ(median.power_tenths, 6);
}

class ContrastFiltersTest : public WindowTest {
 protected:
  ImageStore& store() { return window->session().store; }
  // Row r of the start-up ramp holds r x 225; an odd value in row 101 shows whether a stretch ran.
  uint16_t Pixel(int row, int column = 256) { return store().CurrentFrame[PixelIndex(row, column)]; }
  std::string LastLine() {
    const int n = store().History.UsedCount();
    return n ? store().History.Line(n - 1) : "";
  }
};

TEST_F(ContrastFiltersTest, DialogCommandsRunOnOkOnly) {
  struct Case {
    std::string name;
    int id;
    std::function<void(QDialog&)> set;
    bool accept;
    std::string line;  // empty: the image must stay as it was
  };
  const Case cases[] = {
      {"normal cancelled", 1, [](QDialog&) {}, false, ""},
      {"normal 100/101", 1,
       [](QDialog& d) {
         auto& s = dynamic_cast<TStretchDialog&>(d);
         s.whiteBar()->setSliderPosition(101);
         s.blackBar()->setSliderPosition(100);
       },
       true, "Normal Stretch : max 101 ,min 100"},
      {"power at 1.0 does nothing", 2, [](QDialog&) {}, true, ""},
      {"power 0.8", 2,
       [](QDialog& d) {
         auto& s = dynamic_cast<TPowerDialog&>(d);
         s.powerBar()->triggerAction(Action::SliderSingleStepSub);
         s.powerBar()->triggerAction(Action::SliderSingleStepSub);
       },
       true, "Power Stretch : 0.8"},
      {"non-linear cancelled", 118, [](QDialog&) {}, false, ""},
      {"non-linear 25", 118, [](QDialog&) {}, true, "Non-Linear Stretch : power 25"},
      {"unsharp cancelled", 106, [](QDialog&) {}, false, ""},
      {"unsharp defaults", 106, [](QDialog&) {}, true, "Unsharp Mask : rad 3 ,power 1"},
      {"median cancelled", 3, [](QDialog&) {}, false, ""},
      {"median 2 / 0.6", 3,
       [](QDialog& d) {
         dynamic_cast<TMedianDialog&>(d).radiusBar()->triggerAction(Action::SliderSingleStepAdd);
       },
       true, "Median Filter : rad 2 ,power 0.6"},
  };
  for (const Case& c : cases) {
    InitImageStore(store());
    // A single bright pixel on the ramp gives the filters something to change.
    store().CurrentFrame[PixelIndex(150, 200)] = 60001;
    ClearHistory(store().History);
    const Frame before = store().CurrentFrame;
    store().UndoFrame.fill(1);
    on_dialog = [&c](QDialog& d) {
      c.set(d);
      return c.accept ? static_cast<int>(QDialog::Accepted) : static_cast<int>(QDialog::Rejected);
    };
    ASSERT_TRUE(window->RunCommand(c.id)) << c.name;
    EXPECT_EQ(LastLine(), c.line) << c.name;
    if (c.line.empty()) {
      EXPECT_TRUE(store().CurrentFrame == before) << c.name;
      EXPECT_EQ(store().UndoFrame[0], 1) << c.name;
    } else {
      EXPECT_TRUE(store().CurrentFrame != before) << c.name;
      // Undo copies the pixels, not the frame's spare elements.
      EXPECT_TRUE(std::equal(before.begin(), before.begin() + kFramePixels, store().UndoFrame.begin()))
          << c.name;
    }
  }
}

TEST_F(ContrastFiltersTest, MenuCommandsChangeTheImageAndNoteIt) {
  struct Case {
    int id;
    std::string line;
  };
  const Case cases[] = {
      {101, "Sine Stretch"},
      {102, "Log Stretch"},
      {104, "Anti-Log Stretch"},
      {105, "Invert Image to Negative"},
      {107, "High Pass Low Power Filter"},
      {108, "High Pass High Power Filter"},
      {109, "Smoother/Sharper Filter"},
      {4, "Gaussian Filter"},
      {5, "Lowpass Smoother Filter"},
      {7, "Bas Relief Filter"},
      {15, "Gradient Filter"},
  };
  for (const Case& c : cases) {
    InitImageStore(store());
    store().CurrentFrame[PixelIndex(150, 200)] = 60001;
    ClearHistory(store().History);
    const Frame before = store().CurrentFrame;
    ASSERT_TRUE(window->CommandEnabled(c.id)) << c.id;
    ASSERT_TRUE(window->RunCommand(c.id)) << c.id;
    EXPECT_EQ(LastLine(), c.line) << c.id;
    EXPECT_TRUE(store().CurrentFrame != before) << c.id;
    EXPECT_TRUE(store().UndoFrame == before) << c.id;
  }
}

TEST_F(ContrastFiltersTest, BackgroundRemovalAndTheInternalApplyCommands) {
  for (int level : {2, 10}) {
    InitImageStore(store());
    ClearHistory(store().History);
    store().BlackLevel = level;
    const uint16_t dark = Pixel(9);  // 2,025: below 2,048, so 0 after removal at level 10
    ASSERT_TRUE(window->RunCommand(103));
    EXPECT_EQ(Pixel(9), level == 10 ? 0 : dark) << level;
    EXPECT_EQ(LastLine(), level == 10 ? "Background Removed : min 8" : "") << level;
  }

  // 888 and 889 apply the last table built (here the invert) once more, without a history line.
  InitImageStore(store());
  ClearHistory(store().History);
  ASSERT_TRUE(window->RunCommand(105));
  EXPECT_EQ(Pixel(101), 65534 - 22724);
  for (int id : {888, 889}) {
    const uint16_t before = Pixel(101);
    ASSERT_TRUE(window->RunCommand(id));
    EXPECT_EQ(Pixel(101), 65534 - 2 * (before / 2)) << id;
  }
  EXPECT_EQ(store().History.UsedCount(), 1);
}

}  // namespace
}  // namespace nyxel::test
