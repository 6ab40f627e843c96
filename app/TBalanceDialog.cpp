#include "app/TBalanceDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace nyxel {

TBalanceHistogramView::TBalanceHistogramView(const BalanceHistograms& histograms, const BalanceValues& values,
                                             QWidget* parent)
    : QWidget(parent), histograms_(histograms), values_(values) {
  setMinimumSize(sizeHint());
}

void TBalanceHistogramView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const QPen bar_pen(Qt::black), cut_pen(Qt::red), axis_pen(Qt::darkGray), marker_pen(Qt::blue);
  const std::array<uint32_t, 128>* counts[3] = {&histograms_.red, &histograms_.green, &histograms_.blue};
  const int starts[3] = {values_.start.red, values_.start.green, values_.start.blue};
  for (int k = 0; k < 3; ++k) {
    const int x0 = kPanelStart[k];
    for (int bin = 0; bin < 128; ++bin) {
      const int height = static_cast<int>((*counts[k])[bin] / kCountsPerPixel);
      const bool cut = height > kBaseLine;
      painter.setPen(cut ? cut_pen : bar_pen);
      painter.drawLine(x0 + bin, kBaseLine, x0 + bin, kBaseLine - (cut ? kBaseLine : height));
    }
    painter.setPen(axis_pen);
    painter.drawLine(x0, kBaseLine + 1, x0 + 127, kBaseLine + 1);
    // Tick marks every 16 bins; longer at 40 and 120, longest at 72 (panel offsets as the first panel).
    for (int tick = 24; tick <= 120; tick += 16) {
      const int x = tick + (x0 - kPanelStart[0]);
      const int bottom = tick == 72 ? 220 : (tick == 40 || tick == 120) ? 218 : 215;
      painter.drawLine(x, 213, x, bottom);
    }
    // The current positive starting value.
    if (starts[k] > 0) {
      painter.setPen(marker_pen);
      const int x = x0 + starts[k];
      painter.drawLine(x, 222, x, 230);
      painter.drawLine(x, 222, x - 3, 226);
      painter.drawLine(x, 222, x + 3, 226);
    }
  }
}

TBalanceDialog::TBalanceDialog(const BalanceHistograms& histograms, BalanceValues& values, Host& host,
                               QWidget* parent)
    : QDialog(parent), values_(values), host_(host) {
  setWindowTitle(QStringLiteral("Colour Starting Balance"));
  view_ = new TBalanceHistogramView(histograms, values_, this);
  auto bar = [this](int low, int high, int* target) {
    auto* b = new QScrollBar(Qt::Horizontal, this);
    b->setRange(low, high);
    b->setSingleStep(1);
    b->setPageStep(1);
    b->setMinimumWidth(120);
    connect(b, &QScrollBar::valueChanged, this, [this, target](int v) {
      *target = v;
      RefreshControls();
    });
    return b;
  };
  red_ = bar(kBalanceMin, kBalanceMax, &values_.start.red);
  green_ = bar(kBalanceMin, kBalanceMax, &values_.start.green);
  blue_ = bar(kBalanceMin, kBalanceMax, &values_.start.blue);
  saturation_ = bar(1, 9, &values_.saturation_factor);
  auto edit = [this] {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setMaximumWidth(45);
    return e;
  };
  red_edit_ = edit();
  green_edit_ = edit();
  blue_edit_ = edit();
  saturation_edit_ = edit();
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(view_, 0, 0, 1, 6);
  const char* names[3] = {"Red", "Green", "Blue"};
  QScrollBar* bars[3] = {red_, green_, blue_};
  QLineEdit* edits[3] = {red_edit_, green_edit_, blue_edit_};
  for (int k = 0; k < 3; ++k) {
    grid->addWidget(new QLabel(QString::fromUtf8(names[k]), this), 1, 2 * k);
    grid->addWidget(edits[k], 1, 2 * k + 1);
    grid->addWidget(bars[k], 2, 2 * k, 1, 2);
  }
  grid->addWidget(new QLabel(QStringLiteral("Colour Saturation"), this), 3, 0);
  grid->addWidget(saturation_, 3, 1, 1, 2);
  grid->addWidget(saturation_edit_, 3, 3);
  grid->addWidget(ok, 4, 3);
  grid->addWidget(cancel, 4, 4);
  grid->addWidget(help_, 4, 5);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] { host_.MessageBox(kHelpText, kHelpCaption); });
  RefreshControls();
}

QScrollBar* TBalanceDialog::scrollBar(int id) const {
  switch (id) {
    case 101:
      return red_;
    case 102:
      return green_;
    case 118:
      return blue_;
    case 103:
      return saturation_;
    default:
      return nullptr;
  }
}

QLineEdit* TBalanceDialog::edit(int id) const {
  switch (id) {
    case 104:
      return red_edit_;
    case 105:
      return green_edit_;
    case 106:
      return blue_edit_;
    case 108:
      return saturation_edit_;
    default:
      return nullptr;
  }
}

void TBalanceDialog::RefreshControls() {
  const std::pair<QScrollBar*, int> bars[4] = {{red_, values_.start.red},
                                               {green_, values_.start.green},
                                               {blue_, values_.start.blue},
                                               {saturation_, values_.saturation_factor}};
  for (auto [b, v] : bars) {
    const QSignalBlocker block(b);
    b->setValue(v);
  }
  red_edit_->setText(QString::number(values_.start.red));
  green_edit_->setText(QString::number(values_.start.green));
  blue_edit_->setText(QString::number(values_.start.blue));
  saturation_edit_->setText(QString::number(values_.saturation_factor));
  view_->update();
}

}  // namespace nyxel
