#include "app/TDeleteDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace nyxel {

TDeleteDialog::TDeleteDialog(const QString& path, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(path, this)) {
  setWindowTitle(QStringLiteral("Delete Selected File"));
  edit_->setReadOnly(true);
  edit_->setMinimumWidth(320);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(QStringLiteral("Delete the following File?"), this));
  column->addWidget(edit_);
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace nyxel
