// The guiding graph draws the samples it is given and shows their RMS.
#include <QImage>
#include <QPushButton>
#include <QRadioButton>

#include "app/TGuideGraph.h"
#include "app/TInfoDialog.h"
#include "telescope/Guiding.h"
#include "tests/app/AppTestSupport.h"

namespace nyxel::test {
namespace {

GuideSample Sample(uint32_t ms, int drift_x, int drift_y, int ra = 0) {
  GuideSample s;
  s.clock_ms = ms;
  s.drift_x = drift_x;
  s.drift_y = drift_y;
  s.ra_pulse_ms = ra;
  return s;
}

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 60 && std::abs(a.green() - b.green()) < 60 &&
         std::abs(a.blue() - b.blue()) < 60;
}

TEST(TGuideGraphTest, DrawsItsPointsAndRms) {
  EnsureQtApp();
  GuideHistory history;
  // x steady at +1.0 px (drift -1000), y at -0.5 px for six minutes, one frame every 2 s.
  for (uint32_t t = 0; t <= 360000; t += 2000) history.Add(Sample(t, -1000, 500, t % 4000 ? 0 : 400));
  TGuideGraph graph(history);
  graph.resize(560, 340);
  graph.SetMinutes(1);
  EXPECT_EQ(graph.RmsText(0), "RMS x 1.00 px");
  EXPECT_EQ(graph.RmsText(1), "RMS y 0.50 px");
  EXPECT_EQ(graph.RmsText(2), "RMS 1.12 px");
  EXPECT_EQ(graph.Scale(), 2);
  const QImage image = graph.grab().toImage();
  // The newest x point sits at the right edge, half way up the upper half; y a quarter down.
  const QPointF x_point = graph.PlotPoint(360000, 1.0);
  const QPointF y_point = graph.PlotPoint(360000 - 30000, -0.5);
  EXPECT_NEAR(x_point.x(), graph.PlotArea().right(), 0.5);
  EXPECT_NEAR(x_point.y(), graph.PlotArea().center().y() - graph.PlotArea().height() / 4.0, 0.5);
  EXPECT_TRUE(Near(image.pixelColor(x_point.toPoint() - QPoint(3, 0)), Qt::blue));
  EXPECT_TRUE(Near(image.pixelColor(y_point.toPoint()), Qt::red));
  // Nothing is drawn where no sample lies.
  EXPECT_EQ(image.pixelColor(graph.PlotPoint(360000 - 30000, 1.7).toPoint()), QColor(Qt::white));

  // The 20-minute choice takes all six minutes in.
  qobject_cast<QRadioButton*>(graph.findChildren<QRadioButton*>().at(2))->click();
  EXPECT_EQ(graph.Minutes(), 20);
  EXPECT_EQ(graph.RmsText(0), "RMS x 1.00 px");
}

class GuideGraphWindowTest : public WindowTest {};

TEST_F(GuideGraphWindowTest, OpensFromTheViewMenuAndFollowsTheRecorder) {
  ASSERT_TRUE(window->CommandEnabled(kGuidingGraphCommand));
  window->observatory().state.Running = true;  // it only looks, so it opens while guiding runs
  EXPECT_TRUE(window->RunCommand(kGuidingGraphCommand));
  window->observatory().state.Running = false;
  auto* graph = window->findChild<TGuideGraph*>();
  ASSERT_NE(graph, nullptr);
  EXPECT_TRUE(graph->isVisible());
  EXPECT_EQ(graph->windowTitle(), "Guiding Graph");
  GuideRecorder& recorder = window->observatory().guider.recorder;
  ASSERT_TRUE(recorder.Begin(window->session(), 1000, 1000000));
  GuideFrameReport r;
  r.clock_ms = 5000;
  r.drift_x = -300;
  r.drift_y = 400;
  r.pulses = "w60 s100";
  recorder.Frame(r);
  graph->SetMinutes(1);  // a tick, as the timer gives
  EXPECT_EQ(graph->RmsText(0), "RMS x 0.30 px");
  EXPECT_EQ(graph->RmsText(2), "RMS 0.50 px");
  recorder.End();
  // A second View > Guiding Graph shows the same window.
  window->RunCommand(kGuidingGraphCommand);
  EXPECT_EQ(window->findChildren<TGuideGraph*>().size(), 1);

  TInfoDialog info;
  int opened = 0;
  info.open_graph = [&opened] { ++opened; };
  info.graphButton()->click();
  EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace nyxel::test
