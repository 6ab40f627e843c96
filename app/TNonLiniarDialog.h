#pragma once
// "Non-Linear Stretch": the power of the curve, 2..50.
#include <QDialog>

#include "core/Host.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

struct NonLinearValues {
  int power = 25;
};

class TNonLiniarDialog : public QDialog {
  Q_OBJECT

 public:
  TNonLiniarDialog(NonLinearValues& values, Host& host, QWidget* parent = nullptr);

  QLineEdit* powerEdit() const { return edit_; }  // control 201
  QScrollBar* powerBar() const { return bar_; }   // control 202
  QPushButton* helpButton() const { return help_; }

  static constexpr const char* kNote =
      "This stretch works well for images of nebulae. First use the stretch that removes the background";
  static constexpr const char* kHelpCaption = "TESSARON - NonLiniar Filter";
  static constexpr const char* kHelpText = "Use controls to vary the Power from 2 to 50";

 private:
  void BarAction(int action);
  void RefreshControls();

  NonLinearValues& values_;
  Host& host_;
  QLineEdit* edit_;
  QScrollBar* bar_;
  QPushButton* help_;
};

}  // namespace nyxel
