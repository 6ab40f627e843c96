// The windows around a run: what the user may do while guiding, an exposure or focus mode runs without
// stopping it, and closing the window that belongs to the run, which stops it as the abort key does.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "app/TAboutDialog.h"
#include "app/TGuideGraph.h"
#include "app/TInfoDialog.h"
#include "app/TProgressDialog.h"
#include "app/TQKDialog.h"
#include "files/SettingsFile.h"
#include "telescope/sim/Simulation.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

// Runs steps from inside the window's event pump, each once the simulated clock has passed its time
// (ms after the script was made) and at most one per pump: what a step posts arrives while a run's loop
// takes its events, as a user's presses would, before the next step looks.
class PumpScript : public QObject {
 public:
  struct Step {
    uint32_t at_ms;
    std::function<void()> act;
  };
  PumpScript(Clock& clock, std::vector<Step> steps) : clock_(clock), start_(clock.NowMs()), steps_(steps) {
    Post();
  }
  size_t done() const { return next_; }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kTick) return QObject::event(e);
    if (next_ < steps_.size() && ElapsedMs(clock_.NowMs(), start_) >= int32_t(steps_[next_].at_ms)) {
      steps_[next_++].act();
    }
    if (next_ < steps_.size()) Post();
    return true;
  }

 private:
  static constexpr QEvent::Type kTick = QEvent::User;
  void Post() { QCoreApplication::postEvent(this, new QEvent(kTick)); }
  Clock& clock_;
  uint32_t start_;
  std::vector<Step> steps_;
  size_t next_ = 0;
};

void PostClick(QWidget* target, QPoint at) {
  const QPointF global = target->mapToGlobal(QPointF(at));
  QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                      Qt::NoButton, Qt::NoModifier));
}

void PostClick(QWidget* target) {
  PostClick(target, target->rect().center());
}

void PostKey(QWidget* target, int key) {
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

// The title-bar close button: the window is asked to close.
void PostClose(QWidget* target) {
  QMetaObject::invokeMethod(target, "close", Qt::QueuedConnection);
}

class RunWindowsTest : public WindowTest {
 protected:
  void Simulated() {
    MakeWindow(dir.path() / "sim", StartOptions{true, 3});
    Session& s = window->session();
    s.settings.guide_interface = 'l';
    s.settings.focus_delay = false;
    ASSERT_EQ(SaveSettings(s.settings, s.drive), 0);
    window->observatory().link.port = &window->simulation()->mount;
    window->show();
    beeps = 0;
    window->host().beep_hook = [this](int) { ++beeps; };
  }
  // The camera command: `unit` button and value, then Take Photo (or `in_dialog` with the dialog open).
  void Photo(int unit_button, int value, std::function<void(TQKDialog&)> in_dialog = {}) {
    on_dialog = [=, this](QDialog& d) {
      if (qobject_cast<TAboutDialog*>(&d)) return static_cast<int>(QDialog::Accepted);
      auto* qk = qobject_cast<TQKDialog*>(&d);
      if (!qk) return static_cast<int>(QDialog::Rejected);
      qk->button(unit_button)->click();
      window->observatory().run.ExposureValue = value;
      if (!in_dialog) return static_cast<int>(QDialog::Accepted);
      in_dialog(*qk);
      return static_cast<int>(QDialog::Rejected);
    };
    window->RunCommand(12);
  }
  void PickStar() {
    Photo(704, 1);
    window->RunCommand(16);
    emit window->onPictureLeftClick(250, 122);
    ASSERT_TRUE(window->observatory().picked.GuideStarPicked);
    boxes.clear();
  }
  int FullReads() const {
    int reads = 0;
    for (const auto& c : window->simulation()->camera.commands) reads += c.bytes[0] == 4 && c.bytes[7] == 0;
    return reads;
  }
  QWidget* Picture() { return qobject_cast<QAbstractScrollArea*>(window->centralWidget())->viewport(); }
  TGuideGraph* Graph() { return window->findChild<TGuideGraph*>(); }
  // The controls that stay enabled while a run goes on, used one after the other from `at` ms on.
  std::vector<PumpScript::Step> QuietSteps(uint32_t at) {
    return {
        {at,
         [this] {
           // A press on the menu bar opens the View menu ...
           QMenuBar* bar = window->menuBar();
           for (QAction* a : bar->actions()) {
             if (a->text() == "&View") PostClick(bar, bar->actionGeometry(a).center());
           }
         }},
        {at + 500,
         [this] {
           // ... its Guiding Graph item (enabled while running) opens the graph.
           menu_opened = QApplication::activePopupWidget() != nullptr;
           if (QWidget* popup = QApplication::activePopupWidget()) PostKey(popup, Qt::Key_Escape);
           graph_enabled = window->action(kGuidingGraphCommand)->isEnabled();
           window->action(kGuidingGraphCommand)->trigger();
         }},
        {at + 1000,
         [this] {
           graph_opened_running =
               Graph() != nullptr && Graph()->isVisible() && window->observatory().state.Running;
           if (Graph()) PostClick(Graph()->findChildren<QRadioButton*>().at(0));  // 1 minute
         }},
        {at + 1500,
         [this] {
           if (Graph()) PostKey(Graph()->findChildren<QRadioButton*>().at(2), Qt::Key_Space);  // 20 by key
           window->action(113)->trigger();                                                     // About
         }},
        {at + 2000,
         [this] {
           // About opens beside the run, and its OK closes it.
           auto* about = window->findChild<TAboutDialog*>();
           about_shown = about != nullptr && about->isVisible();
           if (about) PostClick(about->findChild<QPushButton*>());
         }},
    };
  }

  int beeps = 0;
  bool menu_opened = false, graph_enabled = false, graph_opened_running = false, about_shown = false;
};

// Guiding goes on through the menus, the graph and its buttons and About; a click in the picture ends it.
TEST_F(RunWindowsTest, GuidingGoesOnWhileTheGraphIsUsed) {
  Simulated();
  PickStar();
  auto* info = window->findChild<TInfoDialog*>();
  std::vector<PumpScript::Step> steps = QuietSteps(6000);
  steps.push_back({9000, [&] {
                     info = window->findChild<TInfoDialog*>();
                     if (info) PostClick(info->graphButton());
                   }});
  steps.push_back({12000, [&] { PostClick(Picture(), QPoint(200, 100)); }});
  const uint32_t start = clock.NowMs();
  PumpScript script(clock, steps);
  ASSERT_TRUE(window->RunCommand(125));
  const int32_t ran = ElapsedMs(clock.NowMs(), start);
  EXPECT_EQ(script.done(), steps.size());
  EXPECT_TRUE(menu_opened);
  EXPECT_TRUE(graph_enabled);
  EXPECT_TRUE(graph_opened_running);
  EXPECT_TRUE(about_shown);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Guiding Terminated"});
  EXPECT_GE(ran, 12000);
  EXPECT_LT(ran, 15000);
  ASSERT_NE(Graph(), nullptr);
  EXPECT_TRUE(Graph()->isVisible());
  EXPECT_EQ(Graph()->Minutes(), 20);
  ASSERT_NE(info, nullptr);
  EXPECT_FALSE(info->isVisible());
  EXPECT_EQ(window->findChildren<TGuideGraph*>().size(), 1);
}

// Closing the window of a run, with its close button or Escape, ends the run with the run's own end.
TEST_F(RunWindowsTest, ClosingTheGuidingInfoWindowEndsGuiding) {
  for (const bool escape : {false, true}) {
    Simulated();
    PickStar();
    window->simulation()->mount.SetDrift(0.05, 0.03);
    const uint32_t start = clock.NowMs();
    PumpScript script(clock, {{8000,
                               [&] {
                                 auto* info = window->findChild<TInfoDialog*>();
                                 ASSERT_NE(info, nullptr);
                                 ASSERT_TRUE(info->isVisible());
                                 escape ? PostKey(info, Qt::Key_Escape) : PostClose(info);
                               }},
                              // Should the close be missed, this ends the test instead of a hang.
                              {60000, [&] { PostKey(Picture(), Qt::Key_A); }}});
    ASSERT_TRUE(window->RunCommand(125));
    const int32_t ran = ElapsedMs(clock.NowMs(), start);
    EXPECT_GE(ran, 8000) << escape;
    EXPECT_LT(ran, 12000) << escape;
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Guiding Terminated"}) << escape;
    EXPECT_FALSE(window->findChild<TInfoDialog*>()->isVisible());
    EXPECT_EQ(window->observatory().camera.FocusWindowX, 184);
    EXPECT_EQ(window->observatory().camera.FocusWindowY, 65);
    EXPECT_FALSE(window->observatory().state.Running);
    EXPECT_FALSE(window->host().StopRequested());
    // The next run is not stopped by the last one's close.
    PickStar();
    PumpScript next(clock, {{3000, [&] { PostKey(Picture(), Qt::Key_A); }}});
    const uint32_t again = clock.NowMs();
    ASSERT_TRUE(window->RunCommand(125));
    EXPECT_GE(ElapsedMs(clock.NowMs(), again), 3000) << escape;
  }
}

// An exposure under way goes on through the same controls and is read out; a press in the picture or
// closing its progress window aborts it: no readout, and the run ends at once.
TEST_F(RunWindowsTest, ExposureGoesOnOrStopsByWhatTheUserDoes) {
  enum class Act { QuietControls, PictureClick, CloseProgress, EscapeProgress };
  struct Case {
    Act act;
    bool aborted;
  };
  for (const Case c : {Case{Act::QuietControls, false}, Case{Act::PictureClick, true},
                       Case{Act::CloseProgress, true}, Case{Act::EscapeProgress, true}}) {
    Simulated();
    Photo(704, 1);
    const int reads = FullReads();
    std::vector<PumpScript::Step> steps;
    if (c.act == Act::QuietControls) {
      steps = QuietSteps(4000);
    } else {
      steps.push_back({6000, [&] {
                         TProgressDialog* p = window->host().progress();
                         ASSERT_TRUE(p && p->isVisible());
                         if (c.act == Act::PictureClick) PostClick(Picture(), QPoint(10, 10));
                         if (c.act == Act::CloseProgress) PostClose(p);
                         if (c.act == Act::EscapeProgress) PostKey(p, Qt::Key_Escape);
                       }});
    }
    const uint32_t start = clock.NowMs();
    PumpScript script(clock, steps);
    Photo(704, 30);
    const int32_t ran = ElapsedMs(clock.NowMs(), start);
    const int act = static_cast<int>(c.act);
    EXPECT_EQ(script.done(), steps.size()) << act;
    EXPECT_EQ(window->observatory().state.ExposureAborted, c.aborted) << act;
    EXPECT_EQ(FullReads(), reads + (c.aborted ? 0 : 1)) << act;
    if (c.aborted) {
      EXPECT_LT(ran, 8000) << act;
    } else {
      EXPECT_GE(ran, 30000) << act;
      EXPECT_TRUE(graph_opened_running);
      EXPECT_TRUE(about_shown);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      EXPECT_EQ(window->findChild<TAboutDialog*>(), nullptr);  // its OK closed it
      ASSERT_NE(Graph(), nullptr);
      EXPECT_EQ(Graph()->Minutes(), 20);
    }
    EXPECT_FALSE(window->host().progress()->isVisible()) << act;
    EXPECT_FALSE(window->observatory().state.Running) << act;
  }
}

// A countdown is only shortened by a key press; closing its window stops the countdown and the run.
TEST_F(RunWindowsTest, ClosingTheCountdownWindowStopsTheRun) {
  Simulated();
  Photo(704, 1);
  const int reads = FullReads();
  window->observatory().run.DelayBeforeExposure = true;
  int beeps_at_close = -1;
  const uint32_t start = clock.NowMs();
  PumpScript script(clock, {{3500, [&] {
                               beeps_at_close = beeps;
                               PostClose(window->host().progress());
                             }}});
  Photo(704, 5);
  EXPECT_EQ(script.done(), 1u);
  EXPECT_LT(ElapsedMs(clock.NowMs(), start), 4500);
  EXPECT_TRUE(window->observatory().state.ExposureAborted);
  EXPECT_EQ(FullReads(), reads);
  // The interrupted second's beep and the abort's, not one for every second left.
  EXPECT_LE(beeps - beeps_at_close, 2);
  EXPECT_FALSE(window->host().progress()->isVisible());
}

// Closing the camera dialog during focus mode ends focus mode and the command, as the abort does.
TEST_F(RunWindowsTest, ClosingTheCameraDialogEndsFocusMode) {
  for (const bool escape : {false, true}) {
    Simulated();
    Camera& camera = window->observatory().camera;
    camera.FocusWindowX = 300;
    camera.FocusWindowY = 120;
    int frames_at_close = -1;
    int frames = -1;
    bool hidden_after = false;
    Photo(703, 2, [&](TQKDialog& qk) {
      qk.show();
      beeps = 0;  // one per focus frame
      PumpScript script(clock, {{1500,
                                 [&] {
                                   frames_at_close = beeps;
                                   escape ? PostKey(&qk, Qt::Key_Escape) : PostClose(&qk);
                                 }},
                                {30000, [&] { PostKey(&qk, Qt::Key_A); }}});
      qk.button(108)->click();
      frames = beeps;
      hidden_after = !qk.isVisible();
    });
    EXPECT_GT(frames_at_close, 1) << escape;
    EXPECT_LE(frames, frames_at_close + 1) << escape;
    EXPECT_TRUE(hidden_after) << escape;
    EXPECT_EQ(window->session().store.FocusMode, 0);
    EXPECT_EQ(camera.FocusWindowX, 184) << escape;
    EXPECT_EQ(camera.FocusWindowY, 65) << escape;
    EXPECT_FALSE(window->observatory().state.Running);
    EXPECT_FALSE(window->host().StopRequested());
  }
}

}  // namespace
}  // namespace nyxel::test
