#pragma once
// "Filter Progress": the modeless progress window of long image operations (a bar from 0% to 100%).
#include <QDialog>

class QProgressBar;

namespace nyxel {

class TProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TProgressDialog(QWidget* parent = nullptr);
  // Clamps to 0..100 and repaints the bar at once: the operations do not return to the event loop.
  void SetPosition(int percent);
  int Position() const;

 private:
  QProgressBar* bar_;
};

}  // namespace nyxel
