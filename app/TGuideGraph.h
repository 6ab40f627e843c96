#pragma once
// "Guiding Graph": the star's offset from the reference in x and y against time, the guide pulses of each
// axis as bars, and the RMS of each axis and of both over the chosen stretch (1, 5 or 20 minutes). It
// repaints at most four times a second, so a guide frame never waits for it.
#include <QDialog>
#include <QTimer>

#include "telescope/GuideLog.h"

class QButtonGroup;
class QLabel;
class QRadioButton;

namespace nyxel {

// View > Guiding Graph.
inline constexpr int kGuidingGraphCommand = 2001;

class TGuideGraph : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Guiding Graph";
  static constexpr int kRepaintMs = 250;

  explicit TGuideGraph(const GuideHistory& history, QWidget* parent = nullptr);

  // New samples have arrived: repaint at the next tick.
  void SamplesChanged() { dirty_ = true; }
  // The stretch shown: 1, 5 or 20 minutes.
  void SetMinutes(int minutes);
  int Minutes() const { return minutes_; }
  // The RMS texts as shown ("RMS x 0.23 px", ...), refreshed with the plot.
  QString RmsText(int axis) const;  // 0 x, 1 y, 2 both
  // Plot geometry, for tests: where a sample's offset of x or y pixels lands.
  QPointF PlotPoint(uint32_t clock_ms, double offset_pixels) const;
  QRect PlotArea() const;
  double Scale() const { return scale_; }  // pixels shown from the centre line to the edge

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Tick();
  void UpdateTexts();

  const GuideHistory& history_;
  QTimer timer_;
  bool dirty_ = true;
  int minutes_ = 5;
  double scale_ = 2;
  uint32_t newest_ms_ = 0;
  QLabel* rms_[3] = {};
  QRadioButton* choice_[3] = {};
};

}  // namespace nyxel
