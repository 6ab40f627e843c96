#pragma once
// "Help About Nyxel": program, version and date, with one OK button.
#include <QDialog>
#include <QStringList>

namespace nyxel {

class TAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutDialog(QWidget* parent = nullptr);
  // The four static lines, top to bottom.
  static QStringList Lines();
};

}  // namespace nyxel
