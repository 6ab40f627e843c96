#pragma once
// "SYNTHESIZE COLOUR IMAGE": the synthesis options, edited in place on a copy of the settings.
#include <QDialog>

#include "core/Host.h"
#include "files/Settings.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace nyxel {

class TColourDialog : public QDialog {
  Q_OBJECT

 public:
  TColourDialog(Settings& settings, Host& host, QWidget* parent = nullptr);

  // Controls by their dialog ids: check boxes 103, 104, 109, 115, 111, 112; radio buttons 105, 106, 108,
  // 107; edits 110, 113, 114; buttons 1 "Create Image" and 9 "Help".
  QCheckBox* checkBox(int id) const;
  QRadioButton* radioButton(int id) const;
  QLineEdit* edit(int id) const;
  QPushButton* createButton() const { return create_; }
  QPushButton* helpButton() const { return help_; }

  static constexpr const char* kHelpCaption = "Nyxel - Synthesize Colour";
  static constexpr const char* kHelpText =
      "Select Light Pollution correction for most astro shots\n\nIf you want instantaneous colour images "
      "select the anti-alias and one of the stretch values. You can also select a high pass or Unsharp "
      "mask filter.\n\nFor more control apply all image processing later.";

 private:
  void CreateImage();
  void RefreshControls();

  Settings& settings_;
  Host& host_;
  QCheckBox *pollution_, *anti_alias_, *infra_red_, *background_, *high_pass_, *unsharp_;
  QRadioButton *weak_, *strong_, *user_, *none_;
  QLineEdit *user_power_, *diameter_, *unsharp_power_;
  QPushButton *create_, *help_;
};

}  // namespace nyxel
