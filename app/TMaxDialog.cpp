#include "app/TMaxDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "app/DialogParts.h"

namespace nyxel {

TMaxDialog::TMaxDialog(MaxPaletteValues& values, QWidget* parent)
    : QDialog(parent),
      values_(values),
      bar_(new QScrollBar(Qt::Horizontal, this)),
      all_(new QCheckBox(QStringLiteral("Selected for use on all images"), this)),
      edit_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Stretch Palette"));
  bar_->setRange(12, 16);
  bar_->setSingleStep(1);
  bar_->setPageStep(1);
  bar_->setMinimumWidth(180);
  edit_->setReadOnly(true);
  edit_->setMaximumWidth(50);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("12 bit"), this), 0, 0);
  grid->addWidget(bar_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("16 bit"), this), 0, 2);
  grid->addWidget(edit_, 0, 3);
  grid->addWidget(all_, 1, 0, 1, 4);
  grid->addWidget(ok, 2, 3);

  connect(bar_, &QScrollBar::actionTriggered, this, &TMaxDialog::BarAction);
  connect(all_, &QCheckBox::clicked, this, [this] {
    values_.max_palette_all = !values_.max_palette_all;
    RefreshControls();
  });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  RefreshControls();
}

void TMaxDialog::BarAction(int action) {
  values_.palette_bits = PaletteBitsAfter(values_.palette_bits, action, bar_->sliderPosition());
  RefreshControls();
}

void TMaxDialog::RefreshControls() {
  const QSignalBlocker block(bar_);
  bar_->setSliderPosition(values_.palette_bits);
  bar_->setValue(values_.palette_bits);
  edit_->setText(QString::number(values_.palette_bits));
  all_->setChecked(values_.max_palette_all);
}

void TMaxDialog::showEvent(QShowEvent* event) {
  RefreshControls();
  QDialog::showEvent(event);
}

}  // namespace nyxel
