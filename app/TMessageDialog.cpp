#include "app/TMessageDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace nyxel {

TMessageDialog::TMessageDialog(const QString& file_name, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(file_name, this)) {
  setWindowTitle(QStringLiteral("Saving Image"));
  setModal(false);
  edit_->setReadOnly(true);
  edit_->setMinimumWidth(240);
  auto* row = new QHBoxLayout(this);
  row->addWidget(new QLabel(QStringLiteral("Filename"), this));
  row->addWidget(edit_);
}

}  // namespace nyxel
