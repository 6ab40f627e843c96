#include "app/DialogParts.h"

#include <QDialog>
#include <QGridLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace nyxel {

int StepByClick(int value, int low, int high, int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
      return value > low ? value - 1 : value;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
      return value < high ? value + 1 : value;
    default:
      return value;
  }
}

int PaletteBitsAfter(int bits, int action, int thumb) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return bits > 12 ? bits - 1 : bits;
    case QAbstractSlider::SliderSingleStepAdd:
      return bits < 16 ? bits + 1 : bits;
    case QAbstractSlider::SliderPageStepSub:
    case QAbstractSlider::SliderToMinimum:
      return 12;
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderToMaximum:
      return 16;
    case QAbstractSlider::SliderMove:
      return thumb;
    default:
      return bits;
  }
}

void ShowOnBar(QScrollBar* bar, int value) {
  const QSignalBlocker block(bar);
  bar->setSliderPosition(value);
  bar->setValue(value);
}

QPushButton* AddOkCancelHelp(QDialog* dialog, QGridLayout* grid, int row, Host& host, const char* help_text,
                             const char* help_caption) {
  auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  auto* help = new QPushButton(QStringLiteral("Help"), dialog);
  grid->addWidget(ok, row, 1);
  grid->addWidget(cancel, row, 2);
  grid->addWidget(help, row, 3);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
  QObject::connect(help, &QPushButton::clicked, dialog,
                   [&host, help_text, help_caption] { host.MessageBox(help_text, help_caption); });
  return help;
}

}  // namespace nyxel
