#include "app/TStretchDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

namespace nyxel {

TStretchHistogramView::TStretchHistogramView(const std::array<uint32_t, kHistogramBins>& histogram,
                                             const NormalStretchValues& values, QWidget* parent)
    : QWidget(parent), histogram_(histogram), values_(values) {
  setMinimumSize(sizeHint());
}

void TStretchHistogramView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const QPen bar_pen(Qt::black), cut_pen(Qt::red), axis_pen(Qt::darkGray), marker_pen(Qt::blue);
  for (int level = 0; level < 256; ++level) {
    const uint32_t height = histogram_[level] / kCountsPerPixel;
    const bool cut = height > kMaxHeight;
    painter.setPen(cut ? cut_pen : bar_pen);
    const int top = kBaseLine - (cut ? kMaxHeight : static_cast<int>(height));
    if (top < kBaseLine) painter.drawLine(kLeft + level, kBaseLine, kLeft + level, top);
  }
  painter.setPen(axis_pen);
  painter.drawLine(kLeft, kBaseLine + 1, kLeft + 255, kBaseLine + 1);
  for (int tick = 0; tick <= 256; tick += 32)
    painter.drawLine(kLeft + tick, kBaseLine + 1, kLeft + tick, kBaseLine + 5);
  painter.setPen(marker_pen);
  for (int at : {values_.black, std::min(values_.white, 255)}) {
    const int x = kLeft + at;
    painter.drawLine(x, kBaseLine + 8, x, kBaseLine + 18);
    painter.drawLine(x, kBaseLine + 8, x - 3, kBaseLine + 12);
    painter.drawLine(x, kBaseLine + 8, x + 3, kBaseLine + 12);
  }
}

TStretchDialog::TStretchDialog(const std::array<uint32_t, kHistogramBins>& histogram,
                               NormalStretchValues& values, Host& host, QWidget* parent)
    : QDialog(parent), values_(values), host_(host) {
  setWindowTitle(QStringLiteral("Normal Stretch"));
  view_ = new TStretchHistogramView(histogram, values_, this);
  auto bar = [this](int low, int high) {
    auto* b = new QScrollBar(Qt::Horizontal, this);
    b->setRange(low, high);
    b->setSingleStep(1);
    b->setPageStep(10);
    b->setMinimumWidth(200);
    return b;
  };
  black_bar_ = bar(0, 255);
  white_bar_ = bar(1, 300);
  auto edit = [this] {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setMaximumWidth(50);
    return e;
  };
  black_edit_ = edit();
  white_edit_ = edit();
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(view_, 0, 0, 1, 4);
  grid->addWidget(new QLabel(QStringLiteral("Black"), this), 1, 0);
  grid->addWidget(black_bar_, 1, 1, 1, 2);
  grid->addWidget(black_edit_, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("White"), this), 2, 0);
  grid->addWidget(white_bar_, 2, 1, 1, 2);
  grid->addWidget(white_edit_, 2, 3);
  grid->addWidget(ok_, 3, 1);
  grid->addWidget(cancel, 3, 2);
  grid->addWidget(help_, 3, 3);

  connect(black_bar_, &QScrollBar::actionTriggered, this, &TStretchDialog::BlackAction);
  connect(white_bar_, &QScrollBar::actionTriggered, this, &TStretchDialog::WhiteAction);
  connect(ok_, &QPushButton::clicked, this, [this] {
    if (values_.black < values_.white) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] { host_.MessageBox(kHelpText, kHelpCaption); });
  RefreshControls();
}

// Every move that would break black < white is refused.
void TStretchDialog::BlackAction(int action) {
  int& b = values_.black;
  const int w = values_.white;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      if (b < 255 && b < w - 1) ++b;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      if (b < 246 && b < w - 10) b += 10;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      if (b > 0) --b;
      break;
    case QAbstractSlider::SliderPageStepSub:
      if (b > 9) b -= 10;
      break;
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      if (black_bar_->sliderPosition() < w) b = black_bar_->sliderPosition();
      break;
    default:
      break;
  }
  RefreshControls();
}

void TStretchDialog::WhiteAction(int action) {
  int& w = values_.white;
  const int b = values_.black;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      if (w > 0 && b + 1 < w) --w;
      break;
    case QAbstractSlider::SliderPageStepSub:
      if (w > 9 && b + 10 < w) w -= 10;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      if (w < 300) ++w;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      if (w < 291) w += 10;
      break;
    case QAbstractSlider::SliderMove:
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
      if (white_bar_->sliderPosition() > b) w = white_bar_->sliderPosition();
      break;
    default:
      break;
  }
  RefreshControls();
}

void TStretchDialog::RefreshControls() {
  for (auto [bar, v] : {std::pair{black_bar_, values_.black}, std::pair{white_bar_, values_.white}}) {
    const QSignalBlocker block(bar);
    bar->setSliderPosition(v);
    bar->setValue(v);
  }
  black_edit_->setText(QString::number(values_.black));
  white_edit_->setText(QString::number(values_.white));
  view_->update();
}

}  // namespace nyxel
