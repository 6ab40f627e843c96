// The guiding graph draws the samples it is given and shows their RMS.
#include <QImage>
#include <QRadioButton>

#include "app/TGuideGraph.h"
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

}  // namespace
}  // namespace nyxel::test
