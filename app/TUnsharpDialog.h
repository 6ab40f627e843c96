#pragma once
// "Unsharp Mask Filter": radius and power, each 1..7.
#include <QDialog>

#include "core/Host.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

struct UnsharpValues {
  int radius = 3;  // FilterRadius
  int power = 1;   // FilterPower
};

class TUnsharpDialog : public QDialog {
  Q_OBJECT

 public:
  TUnsharpDialog(UnsharpValues& values, Host& host, QWidget* parent = nullptr);

  QScrollBar* radiusBar() const { return radius_bar_; }   // control 101
  QScrollBar* powerBar() const { return power_bar_; }     // control 102
  QLineEdit* radiusEdit() const { return radius_edit_; }  // control 103
  QLineEdit* powerEdit() const { return power_edit_; }    // control 104
  QPushButton* helpButton() const { return help_; }       // control 9

  static constexpr const char* kHelpCaption = "TESSARON - Unsharp Mask Filter";
  static constexpr const char* kHelpText =
      "Use controls to vary the radius from 1 to 7, and the power from 1 to 7.";

 private:
  void Step(int& value, int action);
  void RefreshControls();

  UnsharpValues& values_;
  Host& host_;
  QScrollBar *radius_bar_, *power_bar_;
  QLineEdit *radius_edit_, *power_edit_;
  QPushButton* help_;
};

}  // namespace nyxel
