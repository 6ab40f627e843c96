#include "app/TINIDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace nyxel {
namespace {

QString ToQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Which column of the dialog each group box stands in.
int GroupColumn(std::string_view group) {
  if (group == "Camera Offsets" || group == "Radius of Guide Star Mask" || group == "Background Colour")
    return 0;
  if (group == "FITs Defaults") return 2;
  return 1;
}

}  // namespace

TINIDialog::TINIDialog(SetProgramDefaults& model, QWidget* parent) : QDialog(parent), model_(model) {
  setWindowTitle(ToQString(SetProgramDefaults::kTitle));

  std::map<std::string_view, QLayout*> group_layouts;
  QVBoxLayout* columns[3] = {new QVBoxLayout, new QVBoxLayout, new QVBoxLayout};
  for (std::string_view group : SetProgramDefaults::Groups()) {
    auto* box = new QGroupBox(ToQString(group), this);
    auto* layout = new QVBoxLayout(box);
    group_layouts[group] = layout;
    columns[GroupColumn(group)]->addWidget(box);
  }
  auto* numbers = new QFormLayout;
  auto* checks = new QVBoxLayout;
  auto* buttons = new QHBoxLayout;
  indi_button = new QPushButton("INDI Server...", this);
  connect(indi_button, &QAbstractButton::clicked, this, [this] {
    if (on_indi_server) on_indi_server();
    RefreshControls();
  });
  buttons->addWidget(indi_button);
  buttons->addStretch();

  for (const DialogControl& c : SetProgramDefaults::Controls()) {
    const int id = c.id;
    QLayout* target = c.group.empty() ? nullptr : group_layouts[c.group];
    if (c.kind == DialogControlKind::Edit) {
      auto* e = new QLineEdit(this);
      e->setMaxLength(id == SetProgramDefaults::kSubdirName ? 69 : 8);
      connect(e, &QLineEdit::textEdited, this,
              [this, id](const QString& text) { model_.SetEditText(id, text.toStdString()); });
      edits_[id] = e;
      if (target) {
        target->addWidget(new QLabel(ToQString(c.text), this));
        target->addWidget(e);
      } else {
        numbers->addRow(ToQString(c.text), e);
      }
      continue;
    }
    QAbstractButton* b = nullptr;
    switch (c.kind) {
      case DialogControlKind::Check:
        b = new QCheckBox(ToQString(c.text), this);
        break;
      case DialogControlKind::Radio: {
        auto* r = new QRadioButton(ToQString(c.text), this);
        // The model decides which button of a group is on.
        r->setAutoExclusive(false);
        b = r;
        break;
      }
      default:
        b = new QPushButton(ToQString(c.text), this);
        break;
    }
    buttons_[id] = b;
    if (id == SetProgramDefaults::kSaveChanges) {
      connect(b, &QAbstractButton::clicked, this, [this] { done(SetProgramDefaults::kSaveChanges); });
      buttons->addWidget(b);
    } else if (id == SetProgramDefaults::kCancel) {
      connect(b, &QAbstractButton::clicked, this, [this] { done(SetProgramDefaults::kCancel); });
      buttons->addWidget(b);
    } else {
      connect(b, &QAbstractButton::clicked, this, [this, id] { Clicked(id); });
      if (target) {
        target->addWidget(b);
      } else if (c.kind == DialogControlKind::Button) {
        numbers->addRow(b);
      } else {
        checks->addWidget(b);
      }
    }
  }

  columns[2]->insertLayout(0, numbers);
  columns[2]->insertLayout(1, checks);
  auto* grid = new QGridLayout(this);
  for (int i = 0; i < 3; ++i) {
    columns[i]->addStretch();
    grid->addLayout(columns[i], 0, i);
  }
  grid->addLayout(buttons, 1, 0, 1, 3);
  RefreshControls();
}

QAbstractButton* TINIDialog::button(int id) const {
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

QLineEdit* TINIDialog::edit(int id) const {
  const auto it = edits_.find(id);
  return it == edits_.end() ? nullptr : it->second;
}

void TINIDialog::Clicked(int id) {
  model_.Click(id);
  RefreshControls();
}

void TINIDialog::RefreshControls() {
  for (auto& [id, b] : buttons_) {
    if (b->isCheckable()) b->setChecked(model_.Checked(id));
  }
  for (auto& [id, e] : edits_) {
    const QString text = QString::fromStdString(model_.EditText(id));
    if (e->text() != text) e->setText(text);
  }
}

void TINIDialog::showEvent(QShowEvent* event) {
  RefreshControls();
  QDialog::showEvent(event);
}

}  // namespace nyxel
