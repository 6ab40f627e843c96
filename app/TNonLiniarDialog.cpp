#include "app/TNonLiniarDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace nyxel {

TNonLiniarDialog::TNonLiniarDialog(NonLinearValues& values, Host& host, QWidget* parent)
    : QDialog(parent), values_(values), host_(host) {
  setWindowTitle(QStringLiteral("Non-Linear Stretch"));
  edit_ = new QLineEdit(this);
  edit_->setReadOnly(true);
  edit_->setMaximumWidth(50);
  // Only the arrows move the power.
  bar_ = new QScrollBar(Qt::Vertical, this);
  bar_->setRange(2, 50);
  bar_->setSingleStep(1);
  bar_->setPageStep(1);
  auto* note = new QLabel(QString::fromUtf8(kNote), this);
  note->setWordWrap(true);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Power"), this), 0, 0);
  grid->addWidget(edit_, 0, 1);
  grid->addWidget(bar_, 0, 2);
  grid->addWidget(note, 1, 0, 1, 4);
  grid->addWidget(ok, 2, 1);
  grid->addWidget(cancel, 2, 2);
  grid->addWidget(help_, 2, 3);

  connect(bar_, &QScrollBar::actionTriggered, this, &TNonLiniarDialog::BarAction);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] { host_.MessageBox(kHelpText, kHelpCaption); });
  RefreshControls();
}

void TNonLiniarDialog::BarAction(int action) {
  int& p = values_.power;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
      if (p > 2) --p;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
      if (p < 50) ++p;
      break;
    default:
      break;
  }
  RefreshControls();
}

void TNonLiniarDialog::RefreshControls() {
  const QSignalBlocker block(bar_);
  bar_->setSliderPosition(values_.power);
  bar_->setValue(values_.power);
  edit_->setText(QString::number(values_.power));
}

}  // namespace nyxel
