#include "app/TNonLiniarDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/DialogParts.h"

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

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Power"), this), 0, 0);
  grid->addWidget(edit_, 0, 1);
  grid->addWidget(bar_, 0, 2);
  grid->addWidget(note, 1, 0, 1, 4);
  help_ = AddOkCancelHelp(this, grid, 2, host_, kHelpText, kHelpCaption);

  connect(bar_, &QScrollBar::actionTriggered, this, &TNonLiniarDialog::BarAction);
  RefreshControls();
}

void TNonLiniarDialog::BarAction(int action) {
  values_.power = StepByClick(values_.power, 2, 50, action);
  RefreshControls();
}

void TNonLiniarDialog::RefreshControls() {
  ShowOnBar(bar_, values_.power);
  edit_->setText(QString::number(values_.power));
}

}  // namespace nyxel
