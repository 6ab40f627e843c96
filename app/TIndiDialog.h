#pragma once
// "INDI Server" (from Set Program Defaults): the telescope on an INDI server instead of the serial
// port: host, port, the mount and focuser devices (listed from the server on request) and the focus
// speeds of a relative focuser. Takes and returns an IndiChoice; the caller saves it.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "telescope/IndiChoice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace nyxel {

class TIndiDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks the server at host:port for its devices; empty with the reason in `error` when it cannot.
  using DeviceLister =
      std::function<std::vector<std::string>(const std::string& host, int port, std::string& error)>;

  TIndiDialog(const IndiChoice& choice, DeviceLister lister, QWidget* parent = nullptr);

  // The values entered (valid once the dialog has been accepted).
  IndiChoice choice() const { return choice_; }
  // "List Devices": fills the two device lists from the server, or says why not.
  void ListDevices();
  void accept() override;

  QCheckBox* enabled_box = nullptr;
  QLineEdit* host_edit = nullptr;
  QLineEdit* port_edit = nullptr;
  QComboBox* mount_box = nullptr;
  QComboBox* focuser_box = nullptr;
  QLineEdit* fast_edit = nullptr;
  QLineEdit* slow_edit = nullptr;
  QPushButton* list_button = nullptr;
  QLabel* status_label = nullptr;

 private:
  // The entries read into `out`; false (with the reason shown) when one is not valid. An enabled
  // choice needs a mount only when `need_mount`.
  bool Read(IndiChoice& out, bool need_mount);

  IndiChoice choice_;
  DeviceLister lister_;
};

}  // namespace nyxel
