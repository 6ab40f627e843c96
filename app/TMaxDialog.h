#pragma once
// "Stretch Palette": the bits the max palette stretch assumes (12..16) and whether it is used on all
// images. Values change as the controls move; there is no cancel.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QScrollBar;

namespace nyxel {

struct MaxPaletteValues {
  int palette_bits = 14;
  bool max_palette_all = false;
};

class TMaxDialog : public QDialog {
  Q_OBJECT

 public:
  TMaxDialog(MaxPaletteValues& values, QWidget* parent = nullptr);

  QScrollBar* bitsBar() const { return bar_; }      // control 101
  QCheckBox* allImagesBox() const { return all_; }  // control 102
  QLineEdit* bitsEdit() const { return edit_; }     // control 103

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BarAction(int action);
  void RefreshControls();

  MaxPaletteValues& values_;
  QScrollBar* bar_;
  QCheckBox* all_;
  QLineEdit* edit_;
};

}  // namespace nyxel
