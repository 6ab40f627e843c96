#include "app/TValuesDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace nyxel {

TValuesDialog::TValuesDialog(ImageStore& store, QWidget* parent)
    : QDialog(parent), store_(store), finished_(new QPushButton(QStringLiteral("Finished"), this)) {
  setWindowTitle(QStringLiteral("Pixel Value"));
  setModal(false);
  for (QLineEdit*& edit : edits_) {
    edit = new QLineEdit(this);
    edit->setReadOnly(true);
    edit->setMaximumWidth(60);
  }
  auto* grid = new QGridLayout(this);
  grid->addWidget(edits_[0], 0, 0);
  grid->addWidget(edits_[1], 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("R         G         B       Lum"), this), 1, 0, 1, 4);
  for (int i = 0; i < 4; ++i) grid->addWidget(edits_[2 + i], 2, i);
  grid->addWidget(finished_, 3, 3);
  connect(finished_, &QPushButton::clicked, this, &QDialog::close);
  // Escape ends the dialog without a close event.
  connect(this, &QDialog::finished, this, [this] { ClosePixelValues(store_); });
  ShowValues();
}

void TValuesDialog::MouseMove(int x, int y) {
  if (UpdatePixelValues(store_, x, y, values_)) ShowValues();
}

void TValuesDialog::ShowValues() {
  edits_[0]->setText(QString::number(values_.x));
  edits_[1]->setText(QString::number(values_.y));
  edits_[2]->setText(QString::number(values_.R));
  edits_[3]->setText(QString::number(values_.G));
  edits_[4]->setText(QString::number(values_.B));
  edits_[5]->setText(QString::fromStdString(LumText(values_.Lum)));
}

void TValuesDialog::closeEvent(QCloseEvent* event) {
  ClosePixelValues(store_);
  QDialog::closeEvent(event);
}

}  // namespace nyxel
