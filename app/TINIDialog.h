#pragma once
// "Set Program Defaults": lays out the settings controls, shows the model's values and forwards every
// click and keystroke to it. Save Changes ends the dialog with kSaveChanges, Cancel with kCancel; the
// caller saves.
#include <QDialog>
#include <map>

#include "files/SetProgramDefaults.h"

class QAbstractButton;
class QLineEdit;

namespace nyxel {

class TINIDialog : public QDialog {
  Q_OBJECT

 public:
  TINIDialog(SetProgramDefaults& model, QWidget* parent = nullptr);

  // The control with this id (check box, radio button or push button), or nullptr.
  QAbstractButton* button(int id) const;
  QLineEdit* edit(int id) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Clicked(int id);
  // Every control from the current values (as on each paint).
  void RefreshControls();

  SetProgramDefaults& model_;
  std::map<int, QAbstractButton*> buttons_;
  std::map<int, QLineEdit*> edits_;
};

}  // namespace nyxel
