#pragma once
// "CHROMATIC ADJUSTMENT": how far to move the red and blue planes against the green one.
#include <QDialog>

#include "core/Host.h"
#include "processing/Colour.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace nyxel {

class TChromaticDialog : public QDialog {
  Q_OBJECT

 public:
  TChromaticDialog(ChromaticShift& shift, Host& host, QWidget* parent = nullptr);

  // Scroll bars 151 red left/right, 119 red up/down, 101 blue left/right, 102 blue up/down; edits 156,
  // 158 (red) and 157, 159 (blue).
  QScrollBar* scrollBar(int id) const;
  QLineEdit* edit(int id) const;
  QPushButton* helpButton() const { return help_; }

  static constexpr const char* kHelpCaption = "TESSARON - Adjust Chromatism";
  static constexpr const char* kHelpText =
      "If you see chromatic fringes in your image you can attempt to remove them by adjusting the red and "
      "blue data sets relative to the green.\n\nTry changing just one pixel at a time.";

 private:
  void RefreshControls();

  ChromaticShift& shift_;
  Host& host_;
  QScrollBar *red_h_, *red_v_, *blue_h_, *blue_v_;
  QLineEdit *red_h_edit_, *red_v_edit_, *blue_h_edit_, *blue_v_edit_;
  QPushButton* help_;
};

}  // namespace nyxel
