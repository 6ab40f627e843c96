// Guiding in the window: the Guiding Info window's edits, cross and captions, pick mode's cursor and
// messages, and a self-guided exposure from the camera dialog on the simulated camera and mount.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "app/TInfoDialog.h"
#include "app/TQKDialog.h"
#include "core/Display.h"
#include "files/SettingsFile.h"
#include "telescope/sim/Simulation.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

TEST(TInfoDialogTest, EditsPictureAndCross) {
  EnsureQtApp();
  TInfoDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Guiding Info");
  EXPECT_FALSE(dialog.isModal());
  struct Case {
    GuidingInfoValues values;
    const char* texts[4];
  };
  const std::vector<Case> cases = {
      {{66.3, 64.0, -100 / 19.0, 1000 / 19.0, 66, 64},
       {
           "66.3",
           "64.0",
           "-5.3",
           "52.6",
       }},
      {{0.9, 127.0, 0, -19 / 19.0, 0, 127}, {"0.9", "127.0", "0.0", "-1.0"}},
  };
  for (const Case& c : cases) {
    dialog.SetValues(c.values);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.edit(101 + i)->text(), c.texts[i]) << i;
    const int rx = c.values.ref_x, ry = c.values.ref_y;
    EXPECT_EQ(dialog.horizontalLine(), QLine(rx + 55, ry + 75, rx + 95, ry + 75));
    EXPECT_EQ(dialog.verticalLine(), QLine(rx + 75, ry + 57, rx + 75, ry + 95));
  }
  // The guide bitmap at (75, 75), the cross drawn over it through the reference.
  TempDir dir;
  ImageStore& store = *ImageStore::Create().release();
  std::unique_ptr<ImageStore> owner(&store);
  for (int i = 0; i < kFocusPixels; ++i) store.CurrentFrame[i] = 20000;
  store.GuideFrameDisplay = 1;
  BuildDisplayImage(store);
  BuildGreyPalette(store);
  const Drive drive(dir.path());
  ASSERT_EQ(WriteGreyBitmap(store, drive, true, false), kBitmapWritten);
  dialog.LoadPicture(drive.Resolve(kFocusBitmapPath));
  EXPECT_EQ(dialog.picture().size(), QSize(128, 128));
  dialog.SetValues({64, 64, 0, 0, 40, 30});
  const QImage shot = dialog.grab().toImage();
  EXPECT_EQ(shot.pixelColor(40 + 75 + 10, 30 + 75), QColor(255, 255, 0));  // on the cross
  EXPECT_EQ(shot.pixelColor(40 + 75, 30 + 75 + 12), QColor(255, 255, 0));
  EXPECT_NE(shot.pixelColor(40 + 75 + 10, 30 + 75 + 10), QColor(255, 255, 0));  // picture beside it
  EXPECT_EQ(shot.pixelColor(75 + 2, 75 + 2).red(), shot.pixelColor(75 + 100, 75 + 100).red());
}

// Records every caption a Guiding Info window takes.
struct CaptionWatch : QObject {
  std::vector<std::string> captions;
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange) {
      if (auto* d = qobject_cast<TInfoDialog*>(object)) {
        const std::string text = d->windowTitle().toStdString();
        if (captions.empty() || captions.back() != text) captions.push_back(text);
      }
    }
    return false;
  }
};

class GuidingWindowTest : public WindowTest {
 protected:
  void Simulated() {
    MakeWindow(dir.path() / "sim", StartOptions{true, 3});
    Session& s = window->session();
    s.settings.guide_interface = 'l';
    ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
    // The mount in-process: the test sees every call.
    window->observatory().link.port = &window->simulation()->mount;
  }
  // The camera command with the dialog's seconds unit at `value`; `self_guide` arms 123 at 1 s first.
  void Photo(int value, bool self_guide) {
    on_dialog = [&, value, self_guide](QDialog& d) {
      auto* qk = qobject_cast<TQKDialog*>(&d);
      if (!qk) return static_cast<int>(QDialog::Rejected);
      qk->button(704)->click();
      if (self_guide) {
        EXPECT_TRUE(qk->button(123)->isEnabled());
        qk->button(123)->click();
        EXPECT_EQ(qk->edit(127)->text(), "1");
        EXPECT_EQ(qk->edit(128)->text(), "seconds");
      }
      window->observatory().run.ExposureValue = value;
      return static_cast<int>(QDialog::Accepted);
    };
    window->RunCommand(12);
    on_dialog = {};
  }
  QWidget* Picture() { return qobject_cast<QAbstractScrollArea*>(window->centralWidget())->viewport(); }
};

TEST_F(GuidingWindowTest, PickModeCursorAndMessages) {
  Simulated();
  Photo(1, false);
  boxes.clear();
  ASSERT_TRUE(window->CommandEnabled(16));
  ASSERT_TRUE(window->RunCommand(16));
  EXPECT_TRUE(window->CommandChecked(16));
  EXPECT_TRUE(Picture()->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(Picture()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(boxes.empty());
  emit window->onPictureLeftClick(5, 100);
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "Sorry, outside Image area - try again\n\nx position =     5\ny position =   100");
  emit window->onPictureLeftClick(252, 120);
  ASSERT_EQ(BoxTexts().size(), 2u);
  EXPECT_EQ(BoxTexts()[1], "x position =   250\ny position =   122");
  EXPECT_TRUE(window->observatory().picked.GuideStarPicked);
  EXPECT_FALSE(window->CommandChecked(16));
  EXPECT_FALSE(Picture()->testAttribute(Qt::WA_SetCursor));
  // Clicks outside pick mode pick nothing.
  emit window->onPictureLeftClick(100, 100);
  EXPECT_EQ(BoxTexts().size(), 2u);
  // In RV geometry the warning comes first.
  window->session().store.RvGeometry = 1;
  window->RunCommand(16);
  EXPECT_EQ(BoxTexts().back().rfind("Sorry, Guide star picking only available in standard Geometry", 0), 0u);
  window->RunCommand(16);
}

TEST_F(GuidingWindowTest, SelfGuidedExposureShowsItsPhases) {
  Simulated();
  Photo(1, false);
  window->RunCommand(16);
  emit window->onPictureLeftClick(250, 122);
  ASSERT_TRUE(window->observatory().picked.GuideStarPicked);
  boxes.clear();
  CaptionWatch watch;
  qApp->installEventFilter(&watch);
  Photo(20, true);
  qApp->removeEventFilter(&watch);
  EXPECT_TRUE(BoxTexts().empty()) << BoxTexts().front();
  const std::vector<std::string> expected = {
      "Guiding Info",  // opening
      "Guiding Info - Checking Telescope",
      "Guiding Info - Creating Guiding Frame",
      "Guiding Info - stabilising",
      "Guiding Info",
      "Guiding Info - Downloading Image",
      "Guiding Info - Switching Guiding Frame",
      "Guiding Info",
  };
  EXPECT_EQ(watch.captions, expected);
  auto* info = window->findChild<TInfoDialog*>();
  ASSERT_NE(info, nullptr);
  EXPECT_FALSE(info->isVisible());  // closed before the final readout
  EXPECT_FALSE(info->edit(101)->text().isEmpty());
  EXPECT_EQ(info->picture().size(), QSize(128, 128));
  // Two full-frame reads: the half-time one and the final one.
  int full_reads = 0;
  for (const auto& c : window->simulation()->camera.commands)
    full_reads += c.bytes[0] == 4 && c.bytes[7] == 0;
  EXPECT_EQ(full_reads, 3);  // with the first, unguided picture
  EXPECT_EQ(window->session().store.GuideFrameDisplay, 0);
  EXPECT_EQ(window->observatory().guider.state.GuidingFrameCount > 5, true);
  // Re-armed for the next exposure.
  EXPECT_TRUE(window->observatory().run.SelfGuideNext);
}

// Presses a key once the Guiding Info window has shown `frames` guide frames.
struct KeyAfterFrames : QObject {
  KeyAfterFrames(QWidget* target_, int frames_) : target(target_), frames(frames_) {}
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::UpdateRequest && qobject_cast<TInfoDialog*>(object) && --frames == 0) {
      QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    }
    return false;
  }
  QWidget* target;
  int frames;
};

TEST_F(GuidingWindowTest, StandAloneGuidingUntilAKeyPress) {
  Simulated();
  Photo(1, false);
  window->RunCommand(16);
  emit window->onPictureLeftClick(250, 122);
  ASSERT_TRUE(window->observatory().picked.GuideStarPicked);
  window->simulation()->mount.SetDrift(0.05, 0.03);
  boxes.clear();
  const size_t calls = window->simulation()->mount.calls.size();
  const uint32_t start = clock.NowMs();
  KeyAfterFrames key(window.get(), 30);
  qApp->installEventFilter(&key);
  ASSERT_TRUE(window->RunCommand(125));
  qApp->removeEventFilter(&key);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Guiding Terminated"});
  EXPECT_GT(ElapsedMs(clock.NowMs(), start), 20000);
  int pulses = 0;
  for (size_t i = calls; i < window->simulation()->mount.calls.size(); ++i) {
    pulses += window->simulation()->mount.calls[i].text == "Puts #:RG#";
  }
  EXPECT_GT(pulses, 5);
  auto* info = window->findChild<TInfoDialog*>();
  ASSERT_NE(info, nullptr);
  EXPECT_FALSE(info->isVisible());
  EXPECT_EQ(window->observatory().camera.FocusWindowX, 184);
  EXPECT_EQ(window->observatory().camera.FocusWindowY, 65);
}

TEST_F(GuidingWindowTest, GuidingCommandsFollowTheInterface) {
  Simulated();
  window->session().settings.guide_interface = 'n';
  EXPECT_FALSE(window->CommandEnabled(125));
  EXPECT_FALSE(window->CommandEnabled(126));
  window->session().settings.guide_interface = 'l';
  EXPECT_TRUE(window->CommandEnabled(125));
  EXPECT_TRUE(window->CommandEnabled(126));
  // Without a picked star both refuse.
  boxes.clear();
  window->RunCommand(126);
  window->RunCommand(125);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"You must first take an image and pick a star",
                                                  "You must first take an image and pick a star"}));
}

}  // namespace
}  // namespace nyxel::test
