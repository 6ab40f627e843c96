#pragma once
// "Power Law Stretch": the power, stepped in tenths.
#include <QDialog>

#include "core/Host.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

struct PowerStretchValues {
  // Whole tenths, so stepping down from 1.0 reaches exactly 0.5.
  int tenths = 10;
  double power() const { return tenths / 10.0; }
};

class TPowerDialog : public QDialog {
  Q_OBJECT

 public:
  TPowerDialog(PowerStretchValues& values, Host& host, QWidget* parent = nullptr);

  QScrollBar* powerBar() const { return bar_; }   // control 101, at 10 x power
  QLineEdit* powerEdit() const { return edit_; }  // control 102, "%1.1f"
  QPushButton* helpButton() const { return help_; }

  static constexpr const char* kHelpCaption = "TESSARON - Power Law Stretch";
  static constexpr const char* kHelpText =
      "Use controls to vary power from 0.1 to 3.0, where powers greater than 1 will increase contrast, and "
      "powers less than 1 will reduce contrast.";

 private:
  void BarAction(int action);
  void RefreshControls();

  PowerStretchValues& values_;
  Host& host_;
  QScrollBar* bar_;
  QLineEdit* edit_;
  QPushButton* help_;
};

}  // namespace nyxel
