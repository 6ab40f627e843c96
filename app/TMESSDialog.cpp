#include "app/TMESSDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace nyxel {

TMESSDialog::TMESSDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kCaption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromLatin1(kText), this));
  auto* row = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* stop = new QPushButton(QStringLiteral("Stop"), this);
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(stop);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(stop, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace nyxel
