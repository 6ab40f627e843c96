#pragma once
// "Move Telescope" (dialog 19), modeless: press-and-hold moves through the guider control box.
#include <QDialog>
#include <functional>

namespace nyxel {

class TArrowBar;

class TCBDialog : public QDialog {
  Q_OBJECT

 public:
  // move_start gets 'n', 's', 'e' or 'w'.
  TCBDialog(std::function<void(char)> move_start, std::function<void()> move_end, QWidget* parent);
  TArrowBar* leftRight() const { return left_right_; }
  TArrowBar* upDown() const { return up_down_; }

 protected:
  void done(int result) override;

 private:
  std::function<void(char)> move_start_;
  std::function<void()> move_end_;
  TArrowBar* left_right_;
  TArrowBar* up_down_;
};

}  // namespace nyxel
