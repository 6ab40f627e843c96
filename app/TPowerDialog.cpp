#include "app/TPowerDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/DialogParts.h"

namespace nyxel {

TPowerDialog::TPowerDialog(PowerStretchValues& values, Host& host, QWidget* parent)
    : QDialog(parent), values_(values), host_(host) {
  setWindowTitle(QStringLiteral("Power Law Stretch"));
  bar_ = new QScrollBar(Qt::Horizontal, this);
  bar_->setRange(1, 30);
  bar_->setSingleStep(1);
  bar_->setPageStep(1);
  bar_->setMinimumWidth(160);
  edit_ = new QLineEdit(this);
  edit_->setReadOnly(true);
  edit_->setMaximumWidth(50);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Power"), this), 0, 0);
  grid->addWidget(bar_, 0, 1, 1, 2);
  grid->addWidget(edit_, 0, 3);
  help_ = AddOkCancelHelp(this, grid, 1, host_, kHelpText, kHelpCaption);

  connect(bar_, &QScrollBar::actionTriggered, this, &TPowerDialog::BarAction);
  RefreshControls();
}

// The arrows (and page clicks) step by 0.1: down while above 0.2, up while below 3.0.
void TPowerDialog::BarAction(int action) {
  values_.tenths = StepByClick(values_.tenths, 2, 30, action);
  RefreshControls();
}

void TPowerDialog::RefreshControls() {
  ShowOnBar(bar_, values_.tenths);
  edit_->setText(QString::asprintf("%1.1f", values_.power()));
}

}  // namespace nyxel
