#pragma once
// "Median Filter": radius 1..3 and power 0.1..1.0 (held in tenths).
#include <QDialog>

#include "core/Host.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

struct MedianValues {
  int radius = 1;        // FilterRadius
  int power_tenths = 6;  // FilterPower
};

class TMedianDialog : public QDialog {
  Q_OBJECT

 public:
  TMedianDialog(MedianValues& values, Host& host, QWidget* parent = nullptr);

  QLineEdit* radiusEdit() const { return radius_edit_; }  // control 101
  QLineEdit* powerEdit() const { return power_edit_; }    // control 102, power / 10 as "%1.1f"
  QScrollBar* radiusBar() const { return radius_bar_; }   // control 103
  QScrollBar* powerBar() const { return power_bar_; }     // control 104
  QPushButton* helpButton() const { return help_; }       // control 9

  static constexpr const char* kHelpCaption = "TESSARON - Median Filter";
  static constexpr const char* kHelpText =
      "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1.";

 private:
  void Step(int& value, int low, int high, int action);
  void RefreshControls();

  MedianValues& values_;
  Host& host_;
  QScrollBar *radius_bar_, *power_bar_;
  QLineEdit *radius_edit_, *power_edit_;
  QPushButton* help_;
};

}  // namespace nyxel
