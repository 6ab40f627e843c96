#include "app/TColourDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace nyxel {
namespace {

// A whole number within [low, high] from an edit, or false.
bool ReadEdit(const QLineEdit* edit, int low, int high, int& value) {
  bool ok = false;
  const int v = edit->text().trimmed().toInt(&ok);
  if (!ok || v < low || v > high) return false;
  value = v;
  return true;
}

}  // namespace

TColourDialog::TColourDialog(Settings& settings, Host& host, QWidget* parent)
    : QDialog(parent), settings_(settings), host_(host) {
  setWindowTitle(QStringLiteral("SYNTHESIZE COLOUR IMAGE"));
  auto check = [this](const char* text, bool Settings::*field) {
    auto* box = new QCheckBox(QString::fromUtf8(text), this);
    // Each click toggles its setting at once.
    connect(box, &QCheckBox::clicked, this, [this, field] {
      settings_.*field = !(settings_.*field);
      RefreshControls();
    });
    return box;
  };
  pollution_ = check("Light Pollution Correction", &Settings::light_pollution_correction);
  anti_alias_ = check("Apply Anti-Alias", &Settings::anti_alias);
  infra_red_ = check("IR Filter Used?", &Settings::ir_filter_used);
  background_ = check("Remove Background", &Settings::remove_background);
  high_pass_ = check("High Pass Low Power", &Settings::high_pass);
  unsharp_ = check("Unsharp Mask", &Settings::unsharp_mask);

  auto radio = [this](const char* text, int which) {
    auto* button = new QRadioButton(QString::fromUtf8(text), this);
    button->setAutoExclusive(false);  // the settings decide which one shows checked
    connect(button, &QRadioButton::clicked, this, [this, which] {
      settings_.weak_stretch = which == 105;
      settings_.strong_stretch = which == 106;
      settings_.user_stretch = which == 108;
      RefreshControls();
    });
    return button;
  };
  weak_ = radio("Apply Weak Stretch", 105);
  strong_ = radio("Apply Strong Stretch", 106);
  user_ = radio("Auto Stretch - User", 108);
  none_ = radio("No Auto Stretch", 107);

  user_power_ = new QLineEdit(this);
  diameter_ = new QLineEdit(this);
  unsharp_power_ = new QLineEdit(this);
  for (QLineEdit* e : {user_power_, diameter_, unsharp_power_}) e->setMaximumWidth(40);

  create_ = new QPushButton(QStringLiteral("Create Image"), this);
  create_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  help_ = new QPushButton(QStringLiteral("Help"), this);

  auto label = [this](const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setWordWrap(true);
    return l;
  };
  auto* grid = new QGridLayout(this);
  int row = 0;
  grid->addWidget(pollution_, row, 0);
  grid->addWidget(label("Can be useful for exposures over 1 minute long"), row++, 1, 1, 3);
  grid->addWidget(anti_alias_, row, 0);
  grid->addWidget(label("Recommended for all nightime images"), row++, 1, 1, 3);
  grid->addWidget(infra_red_, row, 0);
  grid->addWidget(label("Colour balance is affected by Infra red"), row++, 1, 1, 3);
  grid->addWidget(label("For Planetary images try weak stretch, for nebulae try strong."), row++, 0, 1, 4);
  grid->addWidget(weak_, row, 0);
  grid->addWidget(strong_, row++, 1);
  grid->addWidget(user_, row, 0);
  grid->addWidget(user_power_, row, 1);
  grid->addWidget(none_, row++, 2);
  grid->addWidget(background_, row, 0);
  grid->addWidget(label("For Astro Images remove the background"), row++, 1, 1, 3);
  grid->addWidget(label("To crispen images use high pass filter, or an unsharp mask filter"), row++, 0, 1, 4);
  grid->addWidget(high_pass_, row++, 0);
  grid->addWidget(unsharp_, row, 0);
  grid->addWidget(label("dia."), row, 1);
  grid->addWidget(diameter_, row, 2);
  grid->addWidget(label("power"), row, 3);
  grid->addWidget(unsharp_power_, row++, 4);
  grid->addWidget(
      label("Nb: You can only convert to colour if the values of all three selection boxes are valid"), row++,
      0, 1, 5);
  grid->addWidget(create_, row, 0);
  grid->addWidget(cancel, row, 1);
  grid->addWidget(help_, row, 2);

  connect(create_, &QPushButton::clicked, this, &TColourDialog::CreateImage);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help_, &QPushButton::clicked, this,
          [this] { host_.MessageBox(kHelpText, kHelpCaption, MessageIcon::None, MessageButtons::Ok); });
  RefreshControls();
  user_power_->setText(QString::number(settings_.user_stretch_value));
  diameter_->setText(QString::number(settings_.unsharp_diameter));
  unsharp_power_->setText(QString::number(settings_.unsharp_power));
}

QCheckBox* TColourDialog::checkBox(int id) const {
  switch (id) {
    case 103:
      return pollution_;
    case 104:
      return anti_alias_;
    case 109:
      return infra_red_;
    case 115:
      return background_;
    case 111:
      return high_pass_;
    case 112:
      return unsharp_;
    default:
      return nullptr;
  }
}

QRadioButton* TColourDialog::radioButton(int id) const {
  switch (id) {
    case 105:
      return weak_;
    case 106:
      return strong_;
    case 108:
      return user_;
    case 107:
      return none_;
    default:
      return nullptr;
  }
}

QLineEdit* TColourDialog::edit(int id) const {
  switch (id) {
    case 110:
      return user_power_;
    case 113:
      return diameter_;
    case 114:
      return unsharp_power_;
    default:
      return nullptr;
  }
}

void TColourDialog::CreateImage() {
  // Every valid value is kept; any invalid one beeps and keeps the dialog open.
  int v = 0;
  bool all_valid = true;
  if (ReadEdit(user_power_, 2, 29, v)) {
    settings_.user_stretch_value = static_cast<int16_t>(v);
  } else {
    all_valid = false;
  }
  if (ReadEdit(diameter_, 2, 6, v)) {
    settings_.unsharp_diameter = static_cast<uint16_t>(v);
  } else {
    all_valid = false;
  }
  if (ReadEdit(unsharp_power_, 1, 6, v)) {
    settings_.unsharp_power = static_cast<uint16_t>(v);
  } else {
    all_valid = false;
  }
  user_power_->setText(QString::number(settings_.user_stretch_value));
  diameter_->setText(QString::number(settings_.unsharp_diameter));
  unsharp_power_->setText(QString::number(settings_.unsharp_power));
  if (!all_valid) {
    host_.Beep();
    return;
  }
  accept();
}

void TColourDialog::RefreshControls() {
  pollution_->setChecked(settings_.light_pollution_correction);
  anti_alias_->setChecked(settings_.anti_alias);
  infra_red_->setChecked(settings_.ir_filter_used);
  background_->setChecked(settings_.remove_background);
  high_pass_->setChecked(settings_.high_pass);
  unsharp_->setChecked(settings_.unsharp_mask);
  weak_->setChecked(settings_.weak_stretch);
  strong_->setChecked(settings_.strong_stretch);
  user_->setChecked(settings_.user_stretch);
  none_->setChecked(!settings_.weak_stretch && !settings_.strong_stretch && !settings_.user_stretch);
}

}  // namespace nyxel
