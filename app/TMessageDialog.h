#pragma once
// "Saving Image": the modeless note shown while a quick save writes, naming the file.
#include <QDialog>

class QLineEdit;

namespace nyxel {

class TMessageDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TMessageDialog(const QString& file_name, QWidget* parent = nullptr);
  QLineEdit* fileNameEdit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

}  // namespace nyxel
