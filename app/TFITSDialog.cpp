#include "app/TFITSDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <cmath>
#include <cstdio>

namespace nyxel {
namespace {

struct EditRow {
  int id;
  const char* label;
  int limit;  // characters read back
};

constexpr EditRow kEdits[] = {
    {101, "Object:", 67},    {102, "Observer:", 67},        {109, "Origin:", 67},
    {104, "Telescope:", 67}, {105, "Instrumentation:", 67}, {103, "Date:", 10},
    {110, "Time:", 11},      {113, "Focal Len (ins):", 67}, {114, "Aperture (Sq.ins):", 67},
    {115, "Filter", 67},     {116, "Exposure (secs):", 67},
};

QString Number(double v) {
  return QString::asprintf("%f", v);
}

// "%lf" as the dialog reads its number fields: a field that is not a number leaves the value alone,
// and so do "nan" and "inf", which "%lf" would take.
void ReadNumber(const QString& text, double& value) {
  double v = 0;
  if (std::sscanf(text.toLatin1().constData(), "%lf", &v) == 1 && std::isfinite(v)) value = v;
}

std::string Text(const QString& text, int limit) {
  return text.left(limit).toStdString();
}

// The multi-line edits give their lines joined by blanks: a FITS card holds one line of text.
std::string MultiLine(const QPlainTextEdit* edit, int limit) {
  QString text = edit->toPlainText();
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return Text(text, limit);
}

}  // namespace

TFITSDialog::TFITSDialog(FitsDialogValues& values, QWidget* parent)
    : QDialog(parent),
      values_(values),
      bar_(new QScrollBar(Qt::Horizontal, this)),
      unsigned_(new QCheckBox(QStringLiteral("Unsigned Integer Format"), this)) {
  setWindowTitle(QStringLiteral("FITS DETAILS"));
  const FitsHeader& f = values_.fits;
  auto* grid = new QGridLayout(this);
  int row = 0;
  for (const EditRow& e : kEdits) {
    auto* edit = new QLineEdit(this);
    edit->setMaxLength(e.limit);
    grid->addWidget(new QLabel(QString::fromLatin1(e.label), this), row, 0);
    grid->addWidget(edit, row, 1, 1, 3);
    controls_[e.id] = edit;
    ++row;
  }
  const std::pair<int, const char*> texts[] = {{107, "History:"}, {106, "Comments:"}};
  for (const auto& [id, label] : texts) {
    auto* edit = new QPlainTextEdit(this);
    edit->setFixedHeight(60);
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
    grid->addWidget(edit, row, 1, 1, 3);
    controls_[id] = edit;
    ++row;
  }
  auto* time_edit = new QLineEdit(this);
  time_edit->setReadOnly(true);
  time_edit->setMaximumWidth(50);
  controls_[112] = time_edit;
  controls_[111] = bar_;
  controls_[108] = unsigned_;
  bar_->setRange(-11, 11);
  bar_->setSingleStep(1);
  bar_->setPageStep(1);
  grid->addWidget(new QLabel(QStringLiteral("Time Difference to UT in Hrs:"), this), row, 0);
  grid->addWidget(bar_, row, 1, 1, 2);
  grid->addWidget(time_edit, row, 3);
  ++row;
  grid->addWidget(unsigned_, row++, 0, 1, 4);
  auto* buttons = new QHBoxLayout;
  auto* cont = new QPushButton(QStringLiteral("Continue"), this);
  auto* abort = new QPushButton(QStringLiteral("Abort"), this);
  cont->setDefault(true);
  controls_[1] = cont;
  controls_[2] = abort;
  buttons->addStretch();
  buttons->addWidget(cont);
  buttons->addWidget(abort);
  grid->addLayout(buttons, row, 0, 1, 4);

  edit(101)->setText(QString::fromStdString(f.fits_object));
  edit(102)->setText(QString::fromStdString(f.fits_observer));
  edit(109)->setText(QString::fromStdString(f.fits_origin));
  edit(104)->setText(QString::fromStdString(f.fits_telescope));
  edit(105)->setText(QString::fromStdString(f.fits_instrument));
  edit(103)->setText(QString::fromStdString(f.fits_date_obs));
  edit(110)->setText(QString::fromStdString(f.fits_time_obs));
  edit(113)->setText(Number(f.fits_focal_length));
  edit(114)->setText(Number(f.fits_aperture));
  edit(115)->setText(QString::fromStdString(f.fits_filter));
  edit(116)->setText(Number(f.fits_exposure));
  textEdit(107)->setPlainText(QString::fromStdString(f.fits_history_text));
  textEdit(106)->setPlainText(QString::fromStdString(f.fits_comment_text));
  unsigned_->setChecked(f.fits_unsigned != 0);
  time_difference_ =
      values_.ut_offset_hours >= -11 && values_.ut_offset_hours <= 11 ? values_.ut_offset_hours : 0;
  ShowTimeDifference();

  connect(bar_, &QScrollBar::actionTriggered, this, &TFITSDialog::BarAction);
  // The check box changes the coding at once, even when the dialog is then aborted.
  connect(unsigned_, &QCheckBox::toggled, this, [this](bool on) { values_.fits.fits_unsigned = on ? 1 : 0; });
  connect(cont, &QPushButton::clicked, this, &TFITSDialog::Continue);
  connect(abort, &QPushButton::clicked, this, &TFITSDialog::reject);
}

QWidget* TFITSDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QLineEdit* TFITSDialog::edit(int id) const {
  return qobject_cast<QLineEdit*>(control(id));
}

QPlainTextEdit* TFITSDialog::textEdit(int id) const {
  return qobject_cast<QPlainTextEdit*>(control(id));
}

void TFITSDialog::BarAction(int action) {
  if (action == QAbstractSlider::SliderSingleStepSub || action == QAbstractSlider::SliderPageStepSub) {
    if (time_difference_ >= -10) --time_difference_;
  } else if (action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderPageStepAdd) {
    if (time_difference_ <= 10) ++time_difference_;
  } else if (action == QAbstractSlider::SliderMove) {
    time_difference_ = bar_->sliderPosition();
  }
  ShowTimeDifference();
}

void TFITSDialog::ShowTimeDifference() {
  const QSignalBlocker block(bar_);
  bar_->setSliderPosition(time_difference_);
  bar_->setValue(time_difference_);
  edit(112)->setText(QString::number(time_difference_));
}

void TFITSDialog::Continue() {
  FitsHeader& f = values_.fits;
  f.fits_object = Text(edit(101)->text(), 67);
  f.fits_observer = Text(edit(102)->text(), 67);
  f.fits_origin = Text(edit(109)->text(), 67);
  f.fits_telescope = Text(edit(104)->text(), 67);
  f.fits_instrument = Text(edit(105)->text(), 67);
  f.fits_date_obs = Text(edit(103)->text(), 10);
  f.fits_time_obs = Text(edit(110)->text(), 11);
  f.fits_filter = Text(edit(115)->text(), 67);
  f.fits_history_text = MultiLine(textEdit(107), 254);
  f.fits_comment_text = MultiLine(textEdit(106), 254);
  ReadNumber(edit(113)->text(), f.fits_focal_length);
  ReadNumber(edit(114)->text(), f.fits_aperture);
  ReadNumber(edit(116)->text(), f.fits_exposure);
  values_.ut_offset_hours = time_difference_;
  done(kContinue);
}

void TFITSDialog::reject() {
  done(kAbort);
}

}  // namespace nyxel
