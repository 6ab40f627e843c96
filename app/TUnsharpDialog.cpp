#include "app/TUnsharpDialog.h"

#include "processing/Filter.h"

namespace nyxel {

TUnsharpDialog::TUnsharpDialog(UnsharpValues& values, Host& host, QWidget* parent)
    : TRadiusPowerDialog(
          {QStringLiteral("Unsharp Mask Filter"), kUnsharpMin, kUnsharpMax, kUnsharpMin, kUnsharpMax,
           [](int power) { return QString::number(power); }, kHelpCaption, kHelpText},
          values.radius, values.power, host, parent) {}

}  // namespace nyxel
