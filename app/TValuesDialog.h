#pragma once
// "Pixel Value": position, colour planes and 16-bit value of the image pixel under the mouse. Modeless;
// the window feeds it mouse moves over the picture.
#include <QDialog>

#include "core/ImageStore.h"
#include "processing/PixelValues.h"

class QLineEdit;
class QPushButton;

namespace nyxel {

class TValuesDialog : public QDialog {
  Q_OBJECT

 public:
  TValuesDialog(ImageStore& store, QWidget* parent = nullptr);

  // A mouse move at image position (x, y); positions the window does not follow are ignored.
  void MouseMove(int x, int y);
  const PixelValues& values() const { return values_; }

  QLineEdit* xEdit() const { return edits_[0]; }             // control 1801
  QLineEdit* yEdit() const { return edits_[1]; }             // control 1802
  QLineEdit* rEdit() const { return edits_[2]; }             // control 1803
  QLineEdit* gEdit() const { return edits_[3]; }             // control 1804
  QLineEdit* bEdit() const { return edits_[4]; }             // control 1805
  QLineEdit* lumEdit() const { return edits_[5]; }           // control 1806
  QPushButton* finishedButton() const { return finished_; }  // control 1807

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowValues();

  ImageStore& store_;
  PixelValues values_;
  QLineEdit* edits_[6];
  QPushButton* finished_;
};

}  // namespace nyxel
