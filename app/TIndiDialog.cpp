#include "app/TIndiDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nyxel {
namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A whole number within [lo, hi], or -1.
int Number(const QLineEdit* e, int lo, int hi) {
  bool ok = false;
  const int v = e->text().trimmed().toInt(&ok);
  return ok && v >= lo && v <= hi ? v : -1;
}

}  // namespace

TIndiDialog::TIndiDialog(const IndiChoice& choice, DeviceLister lister, QWidget* parent)
    : QDialog(parent), choice_(choice), lister_(std::move(lister)) {
  setWindowTitle("INDI Server");
  enabled_box = new QCheckBox("Telescope on an INDI server (instead of the serial port)", this);
  enabled_box->setChecked(choice.enabled);
  host_edit = new QLineEdit(Q(choice.host), this);
  port_edit = new QLineEdit(QString::number(choice.port), this);
  mount_box = new QComboBox(this);
  mount_box->setEditable(true);
  mount_box->setMinimumContentsLength(22);
  mount_box->setEditText(Q(choice.mount));
  focuser_box = new QComboBox(this);
  focuser_box->setEditable(true);
  focuser_box->setMinimumContentsLength(22);
  focuser_box->setEditText(Q(choice.focuser));
  fast_edit = new QLineEdit(QString::number(choice.focus_fast_steps), this);
  slow_edit = new QLineEdit(QString::number(choice.focus_slow_steps), this);
  list_button = new QPushButton("List Devices", this);
  status_label = new QLabel(this);
  status_label->setWordWrap(true);
  connect(list_button, &QPushButton::clicked, this, [this] { ListDevices(); });

  auto* form = new QFormLayout;
  form->addRow("Host", host_edit);
  form->addRow("Port", port_edit);
  auto* mount_row = new QHBoxLayout;
  mount_row->addWidget(mount_box, 1);
  mount_row->addWidget(list_button);
  form->addRow("Mount", mount_row);
  form->addRow("Focuser (may be empty)", focuser_box);
  form->addRow("Focus steps a second, fast", fast_edit);
  form->addRow("Focus steps a second, slow", slow_edit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &TIndiDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TIndiDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enabled_box);
  layout->addLayout(form);
  layout->addWidget(status_label);
  layout->addWidget(buttons);
}

void TIndiDialog::ListDevices() {
  IndiChoice c = choice_;
  // Listing needs only the address: the mount is what it helps to choose.
  if (!Read(c, false)) return;
  std::string error;
  status_label->setText("Asking " + Q(c.host) + ":" + QString::number(c.port) + " ...");
  const std::vector<std::string> devices =
      lister_ ? lister_(c.host, c.port, error) : std::vector<std::string>{};
  const QString mount = mount_box->currentText();
  const QString focuser = focuser_box->currentText();
  mount_box->clear();
  focuser_box->clear();
  focuser_box->addItem(QString());
  for (const std::string& d : devices) {
    mount_box->addItem(Q(d));
    focuser_box->addItem(Q(d));
  }
  // Keep what was chosen when the server has it; otherwise offer the first device.
  if (!mount.isEmpty() && mount_box->findText(mount) >= 0) mount_box->setCurrentText(mount);
  if (focuser_box->findText(focuser) >= 0) focuser_box->setCurrentText(focuser);
  status_label->setText(devices.empty() ? Q(error) : QString("%1 devices on the server").arg(devices.size()));
}

bool TIndiDialog::Read(IndiChoice& out, bool need_mount) {
  IndiChoice c = out;
  std::string host = c.host;
  int port = c.port;
  const int typed_port = Number(port_edit, 1, 65535);
  const std::string where =
      host_edit->text().trimmed().toStdString() + ":" + port_edit->text().trimmed().toStdString();
  if (typed_port < 0 || !ParseHostPort(where, host, port)) {
    status_label->setText("The host must be a name or address and the port a number from 1 to 65535.");
    return false;
  }
  const int fast = Number(fast_edit, 1, 100000), slow = Number(slow_edit, 1, 100000);
  if (fast < 0 || slow < 0) {
    status_label->setText("Focus steps a second must be whole numbers from 1 to 100000.");
    return false;
  }
  c.host = host;
  c.port = port;
  c.mount = mount_box->currentText().trimmed().toStdString();
  c.focuser = focuser_box->currentText().trimmed().toStdString();
  c.focus_fast_steps = fast;
  c.focus_slow_steps = slow;
  c.enabled = enabled_box->isChecked();
  if (need_mount && c.enabled && c.mount.empty()) {
    status_label->setText("Name the mount device (List Devices asks the server).");
    return false;
  }
  out = c;
  return true;
}

void TIndiDialog::accept() {
  if (!Read(choice_, true)) return;
  QDialog::accept();
}

}  // namespace nyxel
