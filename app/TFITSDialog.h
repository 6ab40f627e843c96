#pragma once
// "FITS DETAILS": the FITS header texts and numbers and the time difference to universal time. The
// unsigned check box takes effect at once; everything else only on "Continue".
#include <QDialog>
#include <map>

#include "files/FitsHeader.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QWidget;

namespace nyxel {

struct FitsDialogValues {
  FitsHeader fits;
  int ut_offset_hours = 0;
};

class TFITSDialog : public QDialog {
  Q_OBJECT

 public:
  // Closed with "Continue" the dialog's result is kContinue, with "Abort" (or Escape) kAbort.
  static constexpr int kContinue = 1;
  static constexpr int kAbort = 2;

  TFITSDialog(FitsDialogValues& values, QWidget* parent = nullptr);

  // The control of a resource id (101..116, 1 "Continue", 2 "Abort").
  QWidget* control(int id) const;
  QLineEdit* edit(int id) const;
  QPlainTextEdit* textEdit(int id) const;
  QScrollBar* timeBar() const { return bar_; }
  QCheckBox* unsignedBox() const { return unsigned_; }
  int timeDifference() const { return time_difference_; }

  void Continue();
  void reject() override;

 private:
  void BarAction(int action);
  void ShowTimeDifference();

  FitsDialogValues& values_;
  std::map<int, QWidget*> controls_;
  QScrollBar* bar_;
  QCheckBox* unsigned_;
  int time_difference_ = 0;
};

}  // namespace nyxel
