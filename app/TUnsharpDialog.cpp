#include "app/TUnsharpDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "processing/Filter.h"

namespace nyxel {

TUnsharpDialog::TUnsharpDialog(UnsharpValues& values, Host& host, QWidget* parent)
    : QDialog(parent), values_(values), host_(host) {
  setWindowTitle(QStringLiteral("Unsharp Mask Filter"));
  auto bar = [this](int& target) {
    auto* b = new QScrollBar(Qt::Horizontal, this);
    b->setRange(kUnsharpMin, kUnsharpMax);
    b->setSingleStep(1);
    b->setPageStep(1);
    b->setMinimumWidth(120);
    connect(b, &QScrollBar::actionTriggered, this, [this, &target](int action) { Step(target, action); });
    return b;
  };
  radius_bar_ = bar(values_.radius);
  power_bar_ = bar(values_.power);
  auto edit = [this] {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setMaximumWidth(40);
    return e;
  };
  radius_edit_ = edit();
  power_edit_ = edit();
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Radius"), this), 0, 0);
  grid->addWidget(radius_edit_, 0, 1);
  grid->addWidget(radius_bar_, 0, 2, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Power"), this), 1, 0);
  grid->addWidget(power_edit_, 1, 1);
  grid->addWidget(power_bar_, 1, 2, 1, 2);
  grid->addWidget(ok, 2, 1);
  grid->addWidget(cancel, 2, 2);
  grid->addWidget(help_, 2, 3);

  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] { host_.MessageBox(kHelpText, kHelpCaption); });
  RefreshControls();
}

void TUnsharpDialog::Step(int& value, int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
      if (value > kUnsharpMin) --value;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
      if (value < kUnsharpMax) ++value;
      break;
    default:
      break;
  }
  RefreshControls();
}

void TUnsharpDialog::RefreshControls() {
  for (auto [bar, v] : {std::pair{radius_bar_, values_.radius}, std::pair{power_bar_, values_.power}}) {
    const QSignalBlocker block(bar);
    bar->setSliderPosition(v);
    bar->setValue(v);
  }
  radius_edit_->setText(QString::number(values_.radius));
  power_edit_->setText(QString::number(values_.power));
}

}  // namespace nyxel
