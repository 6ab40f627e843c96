#include "app/THistDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "processing/Histogram.h"

namespace nyxel {

THistCanvas::THistCanvas(const ImageStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  setFixedSize(kHistogramTextRight + 6, kHistogramTextBottom + 2);
  setAutoFillBackground(true);
}

QColor THistCanvas::AxisColour() {
  return Qt::black;
}
QColor THistCanvas::BarColour() {
  return QColor(0, 0, 160);
}
QColor THistCanvas::RedColour() {
  return Qt::red;
}

void THistCanvas::paintEvent(QPaintEvent*) {
  const HistogramPicture picture = BuildHistogramPicture(store_.DisplayHistogram);
  QPainter painter(this);
  const QPen pens[] = {QPen(AxisColour(), 1), QPen(BarColour(), 1), QPen(RedColour(), 1)};
  for (const HistogramLine& line : picture.lines) {
    painter.setPen(pens[static_cast<int>(line.pen)]);
    painter.drawLine(line.x0, line.y0, line.x1, line.y1);
  }
  painter.setPen(AxisColour());
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(10);
  painter.setFont(font);
  painter.drawText(
      QRect(QPoint(kHistogramTextLeft, kHistogramTextTop), QPoint(kHistogramTextRight, kHistogramTextBottom)),
      Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(picture.text));
}

THistDialog::THistDialog(const ImageStore& store, Host& host, QWidget* parent)
    : QDialog(parent),
      canvas_(new THistCanvas(store, this)),
      close_(new QPushButton(QStringLiteral("Close"), this)),
      help_(new QPushButton(QStringLiteral("Help"), this)) {
  setWindowTitle(QStringLiteral("Histogram of Current Image"));
  setModal(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close_);
  buttons->addWidget(help_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(canvas_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  close_->setDefault(true);
  connect(close_, &QPushButton::clicked, this, &QDialog::close);
  connect(help_, &QPushButton::clicked, this,
          [&host] { host.MessageBox(kHistogramHelpText, kHistogramHelpCaption); });
}

}  // namespace nyxel
