#pragma once
// "Help About Nyxel": program, version and date, with one OK button.
#include <QDialog>
#include <QStringList>

namespace nyxel {

class TAboutDialog : public QDialog {
  Q_OBJECT

 public:
  // `simulated`: the program runs on the simulated camera and mount, and the box says so.
  explicit TAboutDialog(QWidget* parent = nullptr, bool simulated = false);
  // The four static lines, top to bottom.
  static QStringList Lines();
  static constexpr const char* kSimulatedLine = "Simulated camera and mount (--simulate): no device is used";
};

}  // namespace nyxel
