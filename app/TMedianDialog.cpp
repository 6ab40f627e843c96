#include "app/TMedianDialog.h"

#include "processing/Filter.h"

namespace nyxel {

TMedianDialog::TMedianDialog(MedianValues& values, Host& host, QWidget* parent)
    : TRadiusPowerDialog(
          {QStringLiteral("Median Filter"), 1, kMedianRadiusMax, 1, kMedianPowerMax,
           [](int tenths) { return QString::asprintf("%1.1f", tenths / 10.0); }, kHelpCaption, kHelpText},
          values.radius, values.power_tenths, host, parent) {}

}  // namespace nyxel
