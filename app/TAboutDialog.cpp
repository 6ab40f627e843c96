#include "app/TAboutDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace nyxel {

QStringList TAboutDialog::Lines() {
  return {QStringLiteral("Nyxel Image processing software for use with Halvorn Colour RV cameras"),
          QStringLiteral("Version   -   2.0g"), QStringLiteral("Date     -  07/02/2003"),
          QStringLiteral("Linux edition, built with Qt %1").arg(QString::fromLatin1(QT_VERSION_STR))};
}

TAboutDialog::TAboutDialog(QWidget* parent, bool simulated) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Help About Nyxel"));
  auto* layout = new QVBoxLayout(this);
  for (const QString& line : Lines()) layout->addWidget(new QLabel(line, this));
  if (simulated) layout->addWidget(new QLabel(QString::fromLatin1(kSimulatedLine), this));
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(box);
}

}  // namespace nyxel
