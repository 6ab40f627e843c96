#pragma once
// "Median Filter": radius 1..3 and power 0.1..1.0 (held in tenths).
#include "app/TRadiusPowerDialog.h"

namespace nyxel {

struct MedianValues {
  int radius = 1;        // FilterRadius
  int power_tenths = 6;  // FilterPower
};

// Controls: radius edit 101, power edit 102 (power / 10 as "%1.1f"), radius bar 103, power bar 104, help 9.
class TMedianDialog : public TRadiusPowerDialog {
  Q_OBJECT

 public:
  TMedianDialog(MedianValues& values, Host& host, QWidget* parent = nullptr);

  static constexpr const char* kHelpCaption = "TESSARON - Median Filter";
  static constexpr const char* kHelpText =
      "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1.";
};

}  // namespace nyxel
