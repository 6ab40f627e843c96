#include "app/TMergeDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "processing/DarkFlatMerge.h"

namespace nyxel {

TMergeDialog::TMergeDialog(ImageStore& store, Host& host, QWidget* parent)
    : QDialog(parent), store_(store), host_(host) {
  setWindowTitle(QStringLiteral("MERGE IMAGES"));
  setModal(false);
  original_ = new QRadioButton(QStringLiteral("Original  Image"), this);
  merge_image_ = new QRadioButton(QStringLiteral("Merge Image"), this);
  for (QRadioButton* r : {original_, merge_image_}) {
    r->setAutoExclusive(false);
    r->setEnabled(false);
  }
  average_ = new QCheckBox(QStringLiteral("Average"), this);
  centre_ = new QCheckBox(QStringLiteral("Centre on Star"), this);
  auto edit = [this] {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setMaximumWidth(50);
    return e;
  };
  x1_ = edit();
  y1_ = edit();
  x2_ = edit();
  y2_ = edit();
  merge_ = new QPushButton(QStringLiteral("Merge"), this);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("x         y"), this), 0, 1, 1, 2);
  grid->addWidget(original_, 1, 0);
  grid->addWidget(x1_, 1, 1);
  grid->addWidget(y1_, 1, 2);
  grid->addWidget(merge_image_, 2, 0);
  grid->addWidget(x2_, 2, 1);
  grid->addWidget(y2_, 2, 2);
  grid->addWidget(average_, 3, 0);
  grid->addWidget(centre_, 3, 1, 1, 2);
  grid->addWidget(merge_, 4, 0);
  grid->addWidget(cancel_, 4, 1);
  grid->addWidget(help_, 4, 2);

  connect(average_, &QCheckBox::clicked, this, [this] {
    store_.MergeAverage = !store_.MergeAverage;
    RefreshControls();
  });
  connect(centre_, &QCheckBox::clicked, this, [this] {
    store_.MergeCentreOnStar = !store_.MergeCentreOnStar;
    RefreshControls();
  });
  connect(help_, &QPushButton::clicked, this, [this] { host_.MessageBox(kHelpText, kHelpCaption); });
  connect(cancel_, &QPushButton::clicked, this, [this] {
    CancelMerge(store_);
    close();
  });
  connect(merge_, &QPushButton::clicked, this, [this] {
    // Before the image to be merged has been opened the button does nothing.
    if (!PressMerge(store_)) return;
    close();
    emit merged();
  });
  RefreshControls();
}

QLineEdit* TMergeDialog::edit(int id) const {
  switch (id) {
    case 104:
      return x1_;
    case 106:
      return y1_;
    case 105:
      return x2_;
    case 107:
      return y2_;
    default:
      return nullptr;
  }
}

void TMergeDialog::RefreshControls() {
  original_->setChecked(store_.MergeFirstPhase != 0);
  merge_image_->setChecked(store_.MergeFirstPhase == 0);
  average_->setChecked(store_.MergeAverage != 0);
  centre_->setChecked(store_.MergeCentreOnStar != 0);
  x1_->setText(QString::number(store_.MergeMarkFirst.x));
  y1_->setText(QString::number(store_.MergeMarkFirst.y));
  x2_->setText(QString::number(store_.MergeMarkMerge.x));
  y2_->setText(QString::number(store_.MergeMarkMerge.y));
}

void TMergeDialog::closeEvent(QCloseEvent* event) {
  // Closing the window any other way ends merging as "Cancel" does.
  if (store_.MergeMode) CancelMerge(store_);
  QDialog::closeEvent(event);
}

void TMergeDialog::showEvent(QShowEvent* event) {
  RefreshControls();
  QDialog::showEvent(event);
}

}  // namespace nyxel
