#include "app/TRadiusPowerDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/DialogParts.h"

namespace nyxel {

TRadiusPowerDialog::TRadiusPowerDialog(Layout layout, int& radius, int& power, Host& host, QWidget* parent)
    : QDialog(parent), layout_(std::move(layout)), radius_(radius), power_(power), host_(host) {
  setWindowTitle(layout_.title);
  auto bar = [this](int& target, int low, int high) {
    auto* b = new QScrollBar(Qt::Horizontal, this);
    b->setRange(low, high);
    b->setSingleStep(1);
    b->setPageStep(1);
    b->setMinimumWidth(120);
    connect(b, &QScrollBar::actionTriggered, this,
            [this, &target, low, high](int action) { Step(target, low, high, action); });
    return b;
  };
  radius_bar_ = bar(radius_, layout_.radius_min, layout_.radius_max);
  power_bar_ = bar(power_, layout_.power_min, layout_.power_max);
  auto edit = [this] {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setMaximumWidth(40);
    return e;
  };
  radius_edit_ = edit();
  power_edit_ = edit();

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Radius"), this), 0, 0);
  grid->addWidget(radius_edit_, 0, 1);
  grid->addWidget(radius_bar_, 0, 2, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Power"), this), 1, 0);
  grid->addWidget(power_edit_, 1, 1);
  grid->addWidget(power_bar_, 1, 2, 1, 2);
  help_ = AddOkCancelHelp(this, grid, 2, host_, layout_.help_text, layout_.help_caption);

  RefreshControls();
}

void TRadiusPowerDialog::Step(int& value, int low, int high, int action) {
  value = StepByClick(value, low, high, action);
  RefreshControls();
}

void TRadiusPowerDialog::RefreshControls() {
  ShowOnBar(radius_bar_, radius_);
  ShowOnBar(power_bar_, power_);
  radius_edit_->setText(QString::number(radius_));
  power_edit_->setText(layout_.power_text(power_));
}

}  // namespace nyxel
