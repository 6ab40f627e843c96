#include "app/DialogParts.h"

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

void ShowOnBar(QScrollBar* bar, int value) {
  const QSignalBlocker block(bar);
  bar->setSliderPosition(value);
  bar->setValue(value);
}

}  // namespace nyxel
