#pragma once
// "Set Program Defaults": lays out the settings controls, shows the model's values and forwards every
// click and keystroke to it. Save Changes ends the dialog with kSaveChanges, Cancel with kCancel; the
// caller saves.
#include <QDialog>
#include <functional>
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

  // "INDI Server...": the telescope on an INDI server (the caller runs that dialog; the controls are
  // refreshed afterwards, since choosing INDI sets the LX200 interface).
  std::function<void()> on_indi_server;
  QAbstractButton* indi_button = nullptr;

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
