#pragma once
// "Delete Selected File": asks before a file is deleted, showing its full path.
#include <QDialog>

class QLineEdit;

namespace nyxel {

class TDeleteDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TDeleteDialog(const QString& path, QWidget* parent = nullptr);
  QLineEdit* pathEdit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

}  // namespace nyxel
