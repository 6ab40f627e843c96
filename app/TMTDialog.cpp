#include "app/TMTDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStringList>

#include "app/DialogParts.h"
#include "telescope/TelescopeControl.h"

namespace nyxel {
namespace {

constexpr int kBarMiddle = 500;

// The edit's text as a signed number; anything else reads as 0.
long EditNumber(QWidget* edit) {
  bool ok = false;
  const long v = static_cast<QLineEdit*>(edit)->text().trimmed().toLong(&ok);
  return ok ? v : 0;
}

}  // namespace

TArrowBar::TArrowBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
  setRange(0, 2 * kBarMiddle);
  setValue(kBarMiddle);
  connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
    if (!step) return;
    if (action == QAbstractSlider::SliderSingleStepSub) step(-1);
    if (action == QAbstractSlider::SliderSingleStepAdd) step(+1);
  });
}

void TArrowBar::End() {
  ShowOnBar(this, kBarMiddle);
  if (end) end();
}

void TArrowBar::mouseReleaseEvent(QMouseEvent* event) {
  QScrollBar::mouseReleaseEvent(event);
  End();
}

void TArrowBar::keyReleaseEvent(QKeyEvent* event) {
  QScrollBar::keyReleaseEvent(event);
  if (!event->isAutoRepeat()) End();
}

TMTDialog::TMTDialog(Actions actions, std::function<View()> view, QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)), view_(std::move(view)) {
  setWindowTitle(QStringLiteral("NYXEL_RV9 Move Telescope"));
  setModal(false);
  auto* grid = new QGridLayout(this);
  auto add = [this](int id, QWidget* w) {
    w->setObjectName(QString::number(id));
    controls_[id] = w;
    return w;
  };
  auto number_edit = [&](int id, bool signed_number) {
    auto* edit = new QLineEdit(this);
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(signed_number ? QStringLiteral("-?\\d{0,5}") : QStringLiteral("\\d{0,5}")), edit));
    edit->setMaximumWidth(70);
    return static_cast<QLineEdit*>(add(id, edit));
  };

  // Catalogue objects.
  auto* objects = new QGroupBox(this);
  auto* og = new QGridLayout(objects);
  og->addWidget(new QLabel(QStringLiteral("Messier Object"), objects), 0, 0);
  og->addWidget(number_edit(101, false), 0, 1);
  og->addWidget(new QLabel(QStringLiteral("CNGC Object"), objects), 1, 0);
  og->addWidget(number_edit(102, false), 1, 1);
  auto* goto_object =
      static_cast<QPushButton*>(add(103, new QPushButton(QStringLiteral("GoTo Object"), this)));
  og->addWidget(goto_object, 2, 0, 1, 2);
  grid->addWidget(objects, 0, 0);

  // Coordinates.
  auto* coords = new QGroupBox(this);
  auto* cg = new QGridLayout(coords);
  cg->addWidget(new QLabel(QStringLiteral("R.A."), coords), 0, 0);
  cg->addWidget(number_edit(112, true), 0, 1);
  cg->addWidget(new QLabel(QStringLiteral("hrs"), coords), 0, 2);
  cg->addWidget(number_edit(113, true), 0, 3);
  cg->addWidget(new QLabel(QStringLiteral("mins"), coords), 0, 4);
  cg->addWidget(new QLabel(QStringLiteral("Dec."), coords), 1, 0);
  cg->addWidget(number_edit(114, true), 1, 1);
  cg->addWidget(new QLabel(QStringLiteral("Deg"), coords), 1, 2);
  cg->addWidget(number_edit(115, true), 1, 3);
  cg->addWidget(new QLabel(QStringLiteral("mins"), coords), 1, 4);
  auto* goto_coords = static_cast<QPushButton*>(add(116, new QPushButton(QStringLiteral("Go To "), this)));
  cg->addWidget(goto_coords, 2, 0, 1, 5);
  grid->addWidget(coords, 1, 0);

  // Planets.
  auto* planets = new QGroupBox(QStringLiteral("Go to Planet"), this);
  auto* pg = new QGridLayout(planets);
  for (size_t i = 0; i < kPlanets.size(); ++i) {
    auto* b = new QPushButton(
        QString::fromLatin1(kPlanets[i].name.data(), static_cast<int>(kPlanets[i].name.size())), this);
    add(104 + static_cast<int>(i), b);
    pg->addWidget(b, static_cast<int>(i / 2), static_cast<int>(i % 2));
    const int number = kPlanets[i].number;
    connect(b, &QPushButton::clicked, this, [this, number] {
      if (actions_.goto_planet) actions_.goto_planet(number);
      Refresh();
    });
  }
  grid->addWidget(planets, 0, 1, 2, 1);

  // The reply.
  grid->addWidget(new QLabel(QStringLiteral("Info from Scope"), this), 2, 0, 1, 2);
  reply_ = static_cast<QPlainTextEdit*>(add(117, new QPlainTextEdit(this)));
  reply_->setReadOnly(true);
  reply_->setMaximumHeight(60);
  grid->addWidget(reply_, 3, 0, 1, 2);

  // Moves: the arrows, the rate, the focuser.
  auto* moves = new QGroupBox(this);
  auto* mg = new QGridLayout(moves);
  auto* east_west = static_cast<TArrowBar*>(add(118, new TArrowBar(Qt::Horizontal, moves)));
  auto* north_south = static_cast<TArrowBar*>(add(119, new TArrowBar(Qt::Vertical, moves)));
  east_west->setMinimumWidth(120);
  north_south->setMinimumHeight(80);
  // The compass letters at the arrows' ends; the note below says when the setting swaps a pair.
  auto* compass = new QGridLayout;
  auto letter = [moves](const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text), moves);
    label->setAlignment(Qt::AlignCenter);
    return label;
  };
  compass->addWidget(letter("N"), 0, 1);
  compass->addWidget(north_south, 1, 1, Qt::AlignHCenter);
  compass->addWidget(letter("S"), 2, 1);
  compass->addWidget(letter("W"), 3, 0);
  compass->addWidget(east_west, 3, 1);
  compass->addWidget(letter("E"), 3, 2);
  swap_note_ = new QLabel(moves);
  compass->addWidget(swap_note_, 4, 0, 1, 3);
  mg->addLayout(compass, 0, 0, 5, 1);
  const char* rate_names[4] = {"Slew", "Find", "Centre", "Guide"};
  for (int i = 0; i < 4; ++i) {
    rates_[i] =
        static_cast<QRadioButton*>(add(120 + i, new QRadioButton(QString::fromLatin1(rate_names[i]), moves)));
    rates_[i]->setAutoExclusive(false);
    mg->addWidget(rates_[i], i, 1);
    connect(rates_[i], &QRadioButton::clicked, this, [this, i] {
      if (actions_.rate) actions_.rate(i);
      Refresh();
    });
  }
  mg->addWidget(new QLabel(QStringLiteral("focus"), moves), 0, 3);
  auto* focus = static_cast<TArrowBar*>(add(124, new TArrowBar(Qt::Vertical, moves)));
  focus->setMinimumHeight(60);
  mg->addWidget(focus, 1, 3, 3, 1);
  fast_ = static_cast<QRadioButton*>(add(125, new QRadioButton(QStringLiteral("fast"), moves)));
  slow_ = static_cast<QRadioButton*>(add(126, new QRadioButton(QStringLiteral("slow"), moves)));
  fast_->setAutoExclusive(false);
  slow_->setAutoExclusive(false);
  mg->addWidget(fast_, 1, 4);
  mg->addWidget(slow_, 2, 4);
  grid->addWidget(moves, 4, 0, 1, 2);

  auto* help = static_cast<QPushButton*>(add(9, new QPushButton(QStringLiteral("Help"), this)));
  auto* finished = static_cast<QPushButton*>(add(2, new QPushButton(QStringLiteral("Finished"), this)));
  grid->addWidget(help, 5, 0);
  grid->addWidget(finished, 5, 1);

  connect(goto_object, &QPushButton::clicked, this, [this] {
    if (actions_.goto_object) actions_.goto_object(EditNumber(controls_[101]), EditNumber(controls_[102]));
    Refresh();
  });
  connect(goto_coords, &QPushButton::clicked, this, [this] {
    if (actions_.goto_coordinates) {
      actions_.goto_coordinates(EditNumber(controls_[112]), EditNumber(controls_[113]),
                                EditNumber(controls_[114]), EditNumber(controls_[115]));
    }
    Refresh();
  });
  connect(fast_, &QRadioButton::clicked, this, [this] {
    if (actions_.focus_speed) actions_.focus_speed(true);
    Refresh();
  });
  connect(slow_, &QRadioButton::clicked, this, [this] {
    if (actions_.focus_speed) actions_.focus_speed(false);
    Refresh();
  });
  east_west->step = [this](int d) {
    if (actions_.move_start) actions_.move_start(d < 0 ? 'w' : 'e');
    Refresh();
  };
  north_south->step = [this](int d) {
    if (actions_.move_start) actions_.move_start(d < 0 ? 'n' : 's');
    Refresh();
  };
  east_west->end = north_south->end = [this] {
    if (actions_.move_end) actions_.move_end();
    Refresh();
  };
  focus->step = [this](int d) {
    if (actions_.focus_start) actions_.focus_start(d < 0);
    Refresh();
  };
  focus->end = [this] {
    if (actions_.focus_end) actions_.focus_end();
    Refresh();
  };
  connect(help, &QPushButton::clicked, this, [this] {
    if (actions_.help) actions_.help();
  });
  connect(finished, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
  Refresh();
}

QString TMTDialog::SwapNote(const std::array<char, 4>& d) {
  QStringList notes;
  if (d[0] == 's' && d[1] == 'n') notes << QStringLiteral("N and S swapped");
  if (d[2] == 'w' && d[3] == 'e') notes << QStringLiteral("E and W swapped");
  return notes.join(QStringLiteral(", "));
}

QWidget* TMTDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void TMTDialog::Refresh() {
  if (!view_) return;
  const View v = view_();
  const QString reply = QString::fromLatin1(v.reply.data(), static_cast<int>(v.reply.size()));
  if (reply_->toPlainText() != reply) reply_->setPlainText(reply);
  for (int i = 0; i < 4; ++i) {
    if (rates_[i]->isChecked() != (v.rate_index == i)) rates_[i]->setChecked(v.rate_index == i);
  }
  if (fast_->isChecked() != v.focus_fast) fast_->setChecked(v.focus_fast);
  const QString note = SwapNote(v.drive_directions);
  if (swap_note_->text() != note) swap_note_->setText(note);
  if (slow_->isChecked() == v.focus_fast) slow_->setChecked(!v.focus_fast);
}

void TMTDialog::paintEvent(QPaintEvent* event) {
  Refresh();
  QDialog::paintEvent(event);
}

void TMTDialog::done(int result) {
  // A move or focus still running when the dialog goes would never be stopped.
  if (actions_.move_end) actions_.move_end();
  if (actions_.focus_end) actions_.focus_end();
  QDialog::done(result);
}

}  // namespace nyxel
