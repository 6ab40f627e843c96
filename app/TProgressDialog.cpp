#include "app/TProgressDialog.h"

#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace nyxel {

TProgressDialog::TProgressDialog(QWidget* parent) : QDialog(parent), bar_(new QProgressBar(this)) {
  setWindowTitle(QStringLiteral("Filter Progress"));
  setModal(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setFormat(QStringLiteral("%p%"));
  bar_->setMinimumWidth(260);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar_);
}

void TProgressDialog::SetPosition(int percent) {
  const int value = std::clamp(percent, 0, 100);
  if (value == bar_->value()) return;
  bar_->setValue(value);
  if (isVisible()) bar_->repaint();
}

int TProgressDialog::Position() const {
  return bar_->value();
}

}  // namespace nyxel
