#include "app/TChromaticDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace nyxel {

TChromaticDialog::TChromaticDialog(ChromaticShift& shift, Host& host, QWidget* parent)
    : QDialog(parent), shift_(shift), host_(host) {
  setWindowTitle(QStringLiteral("CHROMATIC ADJUSTMENT"));
  auto bar = [this](Qt::Orientation orientation, int* target) {
    auto* b = new QScrollBar(orientation, this);
    b->setRange(-kChromaticLimit, kChromaticLimit);
    b->setSingleStep(1);
    b->setPageStep(1);
    connect(b, &QScrollBar::valueChanged, this, [this, target](int v) {
      *target = v;
      RefreshControls();
    });
    return b;
  };
  red_h_ = bar(Qt::Horizontal, &shift_.red_horizontal);
  red_v_ = bar(Qt::Vertical, &shift_.red_vertical);
  blue_h_ = bar(Qt::Horizontal, &shift_.blue_horizontal);
  blue_v_ = bar(Qt::Vertical, &shift_.blue_vertical);
  auto edit = [this] {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setMaximumWidth(40);
    return e;
  };
  red_h_edit_ = edit();
  red_v_edit_ = edit();
  blue_h_edit_ = edit();
  blue_v_edit_ = edit();
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Red"), this), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("left/right"), this), 1, 0);
  grid->addWidget(red_h_, 1, 1);
  grid->addWidget(red_h_edit_, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("up/down"), this), 2, 0);
  grid->addWidget(red_v_, 2, 1);
  grid->addWidget(red_v_edit_, 2, 2);
  grid->addWidget(new QLabel(QStringLiteral("Blue"), this), 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("left/right"), this), 1, 3);
  grid->addWidget(blue_h_, 1, 4);
  grid->addWidget(blue_h_edit_, 1, 5);
  grid->addWidget(new QLabel(QStringLiteral("up/down"), this), 2, 3);
  grid->addWidget(blue_v_, 2, 4);
  grid->addWidget(blue_v_edit_, 2, 5);
  grid->addWidget(ok, 3, 3);
  grid->addWidget(cancel, 3, 4);
  grid->addWidget(help_, 3, 5);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this, [this] { host_.MessageBox(kHelpText, kHelpCaption); });
  RefreshControls();
}

QScrollBar* TChromaticDialog::scrollBar(int id) const {
  switch (id) {
    case 151:
      return red_h_;
    case 119:
      return red_v_;
    case 101:
      return blue_h_;
    case 102:
      return blue_v_;
    default:
      return nullptr;
  }
}

QLineEdit* TChromaticDialog::edit(int id) const {
  switch (id) {
    case 156:
      return red_h_edit_;
    case 158:
      return red_v_edit_;
    case 157:
      return blue_h_edit_;
    case 159:
      return blue_v_edit_;
    default:
      return nullptr;
  }
}

void TChromaticDialog::RefreshControls() {
  const std::pair<QScrollBar*, int> bars[4] = {{red_h_, shift_.red_horizontal},
                                               {red_v_, shift_.red_vertical},
                                               {blue_h_, shift_.blue_horizontal},
                                               {blue_v_, shift_.blue_vertical}};
  for (auto [b, v] : bars) {
    const QSignalBlocker block(b);
    b->setValue(v);
  }
  red_h_edit_->setText(QString::number(shift_.red_horizontal));
  red_v_edit_->setText(QString::number(shift_.red_vertical));
  blue_h_edit_->setText(QString::number(shift_.blue_horizontal));
  blue_v_edit_->setText(QString::number(shift_.blue_vertical));
}

}  // namespace nyxel
