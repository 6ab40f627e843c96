#include "app/TGuideGraph.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace nyxel {
namespace {

constexpr int kMinuteChoices[] = {1, 5, 20};
constexpr int kPulseBarMaxMs = 2000;  // a pulse this long fills the bar band

}  // namespace

TGuideGraph::TGuideGraph(const GuideHistory& history, QWidget* parent) : QDialog(parent), history_(history) {
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(false);
  resize(560, 340);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    choice_[i] = new QRadioButton(QStringLiteral("%1 min").arg(kMinuteChoices[i]), this);
    row->addWidget(choice_[i]);
    connect(choice_[i], &QRadioButton::clicked, this, [this, i] { SetMinutes(kMinuteChoices[i]); });
  }
  row->addStretch();
  for (QLabel*& label : rms_) {
    label = new QLabel(this);
    label->setMinimumWidth(110);
    row->addWidget(label);
  }
  layout->addLayout(row);
  layout->addStretch();
  connect(&timer_, &QTimer::timeout, this, &TGuideGraph::Tick);
  timer_.start(kRepaintMs);
  SetMinutes(5);
}

void TGuideGraph::SetMinutes(int minutes) {
  minutes_ = minutes;
  for (int i = 0; i < 3; ++i) choice_[i]->setChecked(kMinuteChoices[i] == minutes);
  dirty_ = true;
  Tick();
}

void TGuideGraph::Tick() {
  if (!dirty_) return;
  dirty_ = false;
  UpdateTexts();
  update();
}

QString TGuideGraph::RmsText(int axis) const {
  return rms_[axis]->text();
}

void TGuideGraph::UpdateTexts() {
  const GuideRms rms = history_.Rms(static_cast<uint32_t>(minutes_) * 60000u);
  const auto& samples = history_.Samples();
  newest_ms_ = samples.empty() ? 0 : samples.back().clock_ms;
  // The scale follows the largest offset shown, in whole pixels, at least 2.
  double largest = 0;
  for (const GuideSample& s : samples) {
    if (static_cast<uint32_t>(newest_ms_ - s.clock_ms) > static_cast<uint32_t>(minutes_) * 60000u) continue;
    largest = std::max({largest, std::fabs(s.OffsetX()), std::fabs(s.OffsetY())});
  }
  scale_ = std::max(2.0, std::ceil(largest));
  rms_[0]->setText(QStringLiteral("RMS x %1 px").arg(rms.x, 0, 'f', 2));
  rms_[1]->setText(QStringLiteral("RMS y %1 px").arg(rms.y, 0, 'f', 2));
  rms_[2]->setText(QStringLiteral("RMS %1 px").arg(rms.both, 0, 'f', 2));
}

QRect TGuideGraph::PlotArea() const {
  return QRect(40, 50, width() - 50, height() - 60);
}

QPointF TGuideGraph::PlotPoint(uint32_t clock_ms, double offset_pixels) const {
  const QRect area = PlotArea();
  const double span = minutes_ * 60000.0;
  const double age = static_cast<uint32_t>(newest_ms_ - clock_ms);
  const double x = area.right() - age / span * area.width();
  const double y = area.center().y() - offset_pixels / scale_ * (area.height() / 2.0);
  return {x, y};
}

void TGuideGraph::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  const QRect area = PlotArea();
  p.fillRect(area, Qt::white);
  p.setPen(Qt::lightGray);
  for (int k = -static_cast<int>(scale_); k <= static_cast<int>(scale_); ++k) {
    const double y = PlotPoint(newest_ms_, k).y();
    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
  }
  p.setPen(Qt::black);
  p.drawRect(area.adjusted(0, 0, -1, -1));
  p.drawText(QRect(0, area.top() - 6, 36, 14), Qt::AlignRight, QStringLiteral("+%1").arg(scale_));
  p.drawText(QRect(0, area.bottom() - 8, 36, 14), Qt::AlignRight, QStringLiteral("-%1").arg(scale_));
  const uint32_t span = static_cast<uint32_t>(minutes_) * 60000u;
  const auto& samples = history_.Samples();
  // Pulses as bars from the centre line, a quarter of the height for the longest: RA green, Dec magenta.
  const double bar_scale = area.height() / 4.0 / kPulseBarMaxMs;
  for (const GuideSample& s : samples) {
    if (static_cast<uint32_t>(newest_ms_ - s.clock_ms) > span) continue;
    const QPointF at = PlotPoint(s.clock_ms, 0);
    if (s.ra_pulse_ms != 0) {
      p.fillRect(QRectF(at.x() - 1, at.y(), 2,
                        -std::clamp(s.ra_pulse_ms, -kPulseBarMaxMs, kPulseBarMaxMs) * bar_scale),
                 QColor(0, 160, 0, 140));
    }
    if (s.dec_pulse_ms != 0) {
      p.fillRect(QRectF(at.x() + 1, at.y(), 2,
                        -std::clamp(s.dec_pulse_ms, -kPulseBarMaxMs, kPulseBarMaxMs) * bar_scale),
                 QColor(200, 0, 200, 140));
    }
  }
  p.setPen(Qt::darkGray);
  p.drawText(
      area.adjusted(6, 2, -6, -2), Qt::AlignLeft | Qt::AlignTop,
      QStringLiteral("x blue, y red (pixels); pulses RA green, Dec magenta; last %1 min").arg(minutes_));
  // Offsets: x blue, y red.
  for (int axis = 0; axis < 2; ++axis) {
    p.setPen(QPen(axis == 0 ? Qt::blue : Qt::red, 1.5));
    bool have = false;
    QPointF last;
    for (const GuideSample& s : samples) {
      if (static_cast<uint32_t>(newest_ms_ - s.clock_ms) > span) continue;
      const QPointF pt = PlotPoint(s.clock_ms, axis == 0 ? s.OffsetX() : s.OffsetY());
      if (have) p.drawLine(last, pt);
      last = pt;
      have = true;
    }
  }
}

}  // namespace nyxel
