#pragma once
// "Focus Frame Pause": asks between focus frames whether to go on.
#include <QDialog>

namespace nyxel {

class TMESSDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Focus Frame Pause";
  static constexpr const char* kText = "Press OK to continue or Stop to end focus mode.";
  // OK accepts; Stop (and closing the box) rejects.
  explicit TMESSDialog(QWidget* parent = nullptr);
};

}  // namespace nyxel
