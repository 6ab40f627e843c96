#pragma once
// The filter dialogs with a radius bar and a power bar, their read-only values, OK, Cancel and Help.
#include <QDialog>
#include <QString>
#include <functional>

#include "core/Host.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

class TRadiusPowerDialog : public QDialog {
  Q_OBJECT

 public:
  struct Layout {
    QString title;
    int radius_min, radius_max;
    int power_min, power_max;
    std::function<QString(int)> power_text;  // how the power edit shows its value
    const char* help_caption;
    const char* help_text;
  };

  QScrollBar* radiusBar() const { return radius_bar_; }
  QScrollBar* powerBar() const { return power_bar_; }
  QLineEdit* radiusEdit() const { return radius_edit_; }
  QLineEdit* powerEdit() const { return power_edit_; }
  QPushButton* helpButton() const { return help_; }

 protected:
  // radius and power are the caller's values; arrows and page clicks move them one step within range.
  TRadiusPowerDialog(Layout layout, int& radius, int& power, Host& host, QWidget* parent);

 private:
  void Step(int& value, int low, int high, int action);
  void RefreshControls();

  Layout layout_;
  int& radius_;
  int& power_;
  Host& host_;
  QScrollBar *radius_bar_, *power_bar_;
  QLineEdit *radius_edit_, *power_edit_;
  QPushButton* help_;
};

}  // namespace nyxel
