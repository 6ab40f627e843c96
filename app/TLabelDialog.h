#pragma once
// "Label Current Image": the label text and where its date comes from.
#include <QDialog>

#include "core/Host.h"
#include "files/FitsHeader.h"
#include "processing/Label.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace nyxel {

class TLabelDialog : public QDialog {
  Q_OBJECT

 public:
  // Edits `options` in place; "OK" takes up to 30 characters of the text and accepts.
  TLabelDialog(LabelOptions& options, const FitsHeader& fits, Host& host, QWidget* parent = nullptr);

  QLineEdit* textEdit() const { return edit_; }          // control 4090
  QCheckBox* autoDateBox() const { return auto_date_; }  // control 102
  QCheckBox* fitsDateBox() const { return fits_date_; }  // control 103
  QPushButton* okButton() const { return ok_; }          // control 104
  QPushButton* cancelButton() const { return cancel_; }  // control 2

 private:
  void RefreshChecks();

  LabelOptions& options_;
  QLineEdit* edit_;
  QCheckBox* auto_date_;
  QCheckBox* fits_date_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace nyxel
