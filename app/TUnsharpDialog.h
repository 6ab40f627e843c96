#pragma once
// "Unsharp Mask Filter": radius and power, each 1..7.
#include "app/TRadiusPowerDialog.h"

namespace nyxel {

struct UnsharpValues {
  int radius = 3;  // FilterRadius
  int power = 1;   // FilterPower
};

// Controls: radius bar 101, power bar 102, radius edit 103, power edit 104, help 9.
class TUnsharpDialog : public TRadiusPowerDialog {
  Q_OBJECT

 public:
  TUnsharpDialog(UnsharpValues& values, Host& host, QWidget* parent = nullptr);

  static constexpr const char* kHelpCaption = "TESSARON - Unsharp Mask Filter";
  static constexpr const char* kHelpText =
      "Use controls to vary the radius from 1 to 7, and the power from 1 to 7.";
};

}  // namespace nyxel
