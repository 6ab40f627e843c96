#pragma once
// "MERGE IMAGES": the modeless dialog that stays open while the two marks are set and the image to be
// merged is opened. It shows and changes the merge state kept in the image store.
#include <QDialog>

#include "core/Host.h"
#include "core/ImageStore.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace nyxel {

class TMergeDialog : public QDialog {
  Q_OBJECT

 public:
  TMergeDialog(ImageStore& store, Host& host, QWidget* parent = nullptr);

  // Repaints the controls from the merge state.
  void RefreshControls();

  // Radio buttons 101, 102 (disabled: they show the phase); check boxes 103 "Average", 108 "Centre on
  // Star"; edits 104, 106 (x1, y1), 105, 107 (x2, y2); buttons 1 "Merge", 2 "Cancel", 9 "Help".
  QRadioButton* radioButton(int id) const {
    return id == 101 ? original_ : id == 102 ? merge_image_ : nullptr;
  }
  QCheckBox* checkBox(int id) const { return id == 103 ? average_ : id == 108 ? centre_ : nullptr; }
  QLineEdit* edit(int id) const;
  QPushButton* mergeButton() const { return merge_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* helpButton() const { return help_; }

  static constexpr const char* kHelpCaption = "TESSARON - Control Merging";
  static constexpr const char* kHelpText =
      "Mark the position in the displayed image by pressing the left Mouse button. Then load the image to "
      "be merged by using the File/Open Menu Option. Mark the position to be matched on, and press the "
      "MERGE button.\n\nCheck the Average box if you want an average rather than addition.\n\nUse the Centre "
      "option if merging on stars.";

 signals:
  // "Merge" merged the images (merging has ended; the picture needs a rebuild).
  void merged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  ImageStore& store_;
  Host& host_;
  QRadioButton *original_, *merge_image_;
  QCheckBox *average_, *centre_;
  QLineEdit *x1_, *y1_, *x2_, *y2_;
  QPushButton *merge_, *cancel_, *help_;
};

}  // namespace nyxel
