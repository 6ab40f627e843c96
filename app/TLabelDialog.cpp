#include "app/TLabelDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/Messages.h"

namespace nyxel {

TLabelDialog::TLabelDialog(LabelOptions& options, const FitsHeader& fits, Host& host, QWidget* parent)
    : QDialog(parent),
      options_(options),
      edit_(new QLineEdit(this)),
      auto_date_(new QCheckBox(QStringLiteral("Auto Date"), this)),
      fits_date_(new QCheckBox(QStringLiteral("Use FITs Date"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Label Current Image"));
  edit_->setMaxLength(kLabelTextLimit);
  edit_->setText(QString::fromStdString(options.text));
  edit_->setMinimumWidth(260);
  ok_->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Enter the Label text"), this), 0, 0, 1, 2);
  grid->addWidget(edit_, 1, 0, 1, 2);
  grid->addWidget(auto_date_, 2, 0);
  grid->addWidget(fits_date_, 2, 1);
  grid->addWidget(ok_, 3, 0);
  grid->addWidget(cancel_, 3, 1);

  // The boxes follow the flags, not their own click state.
  connect(auto_date_, &QCheckBox::clicked, this, [this] {
    ClickAutoDate(options_);
    RefreshChecks();
  });
  connect(fits_date_, &QCheckBox::clicked, this, [this, &fits, &host] {
    if (!ClickFitsDate(options_, fits)) ShowMessage(host, kOwnTextMessage, kFitsDateNotSet);
    RefreshChecks();
  });
  connect(ok_, &QPushButton::clicked, this, [this] {
    options_.text = edit_->text().left(kLabelTextLimit).toLatin1().toStdString();
    accept();
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  RefreshChecks();
}

void TLabelDialog::RefreshChecks() {
  auto_date_->setChecked(options_.auto_date);
  fits_date_->setChecked(options_.fits_date);
}

}  // namespace nyxel
