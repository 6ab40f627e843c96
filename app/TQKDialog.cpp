#include "app/TQKDialog.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <functional>
#include <utility>

#include "app/DialogParts.h"

namespace nyxel {
namespace {

constexpr int kUnitIds[] = {701, 702, 703, 704, 705};
constexpr char kUnitLetters[] = {'q', 'h', 't', 's', 'm'};
constexpr const char* kUnitTexts[] = {"Thousandths", "Hundredth's", "Tenth's", "Seconds", "Minutes"};

}  // namespace

const char* const TQKDialog::kHelpText =
    "Select exposure range using Radio buttons on left of dialog Window \nSelect anti-smear status using "
    "checkbox\nVary exposure time using scroll arrows,and take exposure by pressing the 'Take Photo' "
    "button\n\nThe Focus mode allows repeated exposures of 0.01 to 10 seconds to be made, and displays the "
    "value of the most saturated pixel. In a starfield, altering the focus until the maximum value is "
    "returned will give a good indication of best focus.\n\nIt is posssible to use an 'slew and sum' mode, "
    "which will automatically sum images together, taking into account small amounts of drift in the "
    "telescope drive. To do this simply change the number of exposures from 1 to any value less than 20. "
    "This option will only work in a starfield\n\nPress Right Hand mouse button anywhere in Tesswin Window  "
    "to prematurely terminate an exposure\n\nThe delay option gives an audible 10 second countdown to the "
    "exposure start";

TQKDialog::TQKDialog(CameraDialogValues& values, Host& host, QWidget* parent)
    : QDialog(parent), values_(values), host_(host) {
  setWindowTitle(QString::fromLatin1(kCaption));
  setFixedSize(700, 470);

  // Exposure unit and value.
  auto* unit_label = new QLabel(QStringLiteral("Exposure"), this);
  unit_label->setGeometry(10, 6, 120, 18);
  for (int i = 0; i < 5; ++i) {
    auto* radio = new QRadioButton(QString::fromLatin1(kUnitTexts[i]), this);
    radio->setAutoExclusive(false);  // the refresh sets exactly one
    Place(kUnitIds[i], radio, 10, 26 + 22 * i, 120, 20);
    const char letter = kUnitLetters[i];
    connect(radio, &QRadioButton::clicked, this, [this, letter] {
      SelectExposureUnit(values_.run, letter);
      RefreshDialog();
    });
  }
  AddCounter(104, 105, "Exposure Value", 140, 10, &RunSettings::ExposureValue, 1, 0);
  AddCounter(111, 112, "No of Exposures", 140, 62, &RunSettings::ExposureCount, 1, kMaxExposureCount);
  AddCounter(120, 121, "Delay between Exposures (mins)", 140, 114, &RunSettings::PauseMinutes, 0,
             kMaxPauseMinutes);

  // Stretch 12bit..16bit: the store's PaletteBits.
  auto* stretch = new QLabel(QStringLiteral("Stretch"), this);
  stretch->setGeometry(140, 166, 190, 18);
  auto* bits_low = new QLabel(QStringLiteral("12bit"), this);
  bits_low->setGeometry(140, 186, 34, 20);
  auto* bits_bar = new QScrollBar(Qt::Horizontal, this);
  bits_bar->setRange(12, 16);
  bits_bar->setPageStep(1);
  Place(130, bits_bar, 176, 186, 110, 20);
  auto* bits_high = new QLabel(QStringLiteral("16bit"), this);
  bits_high->setGeometry(290, 186, 34, 20);
  auto* bits_edit = new QLineEdit(this);
  bits_edit->setReadOnly(true);
  Place(131, bits_edit, 140, 208, 50, 20);
  connect(bits_bar, &QScrollBar::actionTriggered, this, [this, bits_bar](int action) {
    values_.palette_bits = PaletteBitsAfter(values_.palette_bits, action, bits_bar->sliderPosition());
    RefreshDialog();
  });

  // The run's check boxes.
  AddCheck(113, "Alternative Slew Method", &RunSettings::AlternativeSlew, 10, 240);
  AddCheck(114, "Average Multiple Exposures", &RunSettings::AverageExposures, 10, 262);
  AddCheck(115, "Auto Save Image", &RunSettings::AutoSave, 10, 284);
  AddCheck(106, "Auto-Remove Dark Frame", &RunSettings::AutoRemoveDark, 10, 306);
  AddCheck(117, "Delay before exposure", &RunSettings::DelayBeforeExposure, 10, 328);
  AddCheck(119, "Continuous Mode", &RunSettings::ContinuousMode, 215, 240);
  AddCheck(122, "Auto-Exposure mode", &RunSettings::AutoExposureMode, 215, 262);
  AddCheck(124, "Auto Colour Convert", &RunSettings::AutoColourConvert, 215, 284);
  auto* all = new QCheckBox(QStringLiteral("Use Stretch on all Images"), this);
  Place(132, all, 215, 306, 200, 20);
  connect(all, &QCheckBox::clicked, this, [this] {
    values_.max_palette_all = values_.max_palette_all ? 0 : 1;
    RefreshDialog();
  });
  AddCheck(710, "Pause between exposures", &RunSettings::PauseBetweenExposures, 351, 82);
  controls_[710]->resize(175, 20);

  // Focus mode.
  auto* focus = new QLabel(QStringLiteral("Focus Mode"), this);
  focus->setGeometry(351, 6, 128, 18);
  auto* start = new QPushButton(QStringLiteral("Start"), this);
  Place(108, start, 351, 26, 62, 24);
  auto* stop = new QPushButton(QStringLiteral("Stop"), this);
  Place(109, stop, 417, 26, 62, 24);
  auto* max_label = new QLabel(QStringLiteral("Max Value"), this);
  max_label->setGeometry(351, 56, 70, 20);
  auto* max_edit = new QLineEdit(this);
  max_edit->setReadOnly(true);
  Place(110, max_edit, 421, 56, 58, 20);
  connect(start, &QPushButton::clicked, this, [this] {
    if (values_.start_focus) values_.start_focus();
    RefreshDialog();
  });
  // Stop has no command of its own: its click is the press that ends focus mode.

  // The star's size in the focus window, and its trend over the last frames.
  auto* hfr_label = new QLabel(QStringLiteral("HFR"), this);
  hfr_label->setGeometry(530, 160, 32, 20);
  auto* hfr = new QLineEdit(this);
  hfr->setReadOnly(true);
  Place(kHfrEdit, hfr, 562, 160, 44, 20);
  auto* fwhm_label = new QLabel(QStringLiteral("FWHM"), this);
  fwhm_label->setGeometry(610, 160, 40, 20);
  auto* fwhm = new QLineEdit(this);
  fwhm->setReadOnly(true);
  Place(kFwhmEdit, fwhm, 650, 160, 44, 20);

  // Self-guiding.
  auto* self_guide = new QPushButton(QStringLiteral("Self-Guide Next Exposure"), this);
  Place(123, self_guide, 530, 26, 165, 24);
  auto* matching = new QPushButton(QStringLiteral("Take matching Darkframe"), this);
  Place(125, matching, 530, 54, 165, 24);
  connect(self_guide, &QPushButton::clicked, this, [this] {
    if (values_.self_guide) values_.self_guide();
    RefreshDialog();
  });
  connect(matching, &QPushButton::clicked, this, [this] {
    if (values_.matching_dark) values_.matching_dark();
    RefreshDialog();
  });
  auto* frames_label = new QLabel(QStringLiteral("No of Guiding Frames"), this);
  frames_label->setGeometry(530, 84, 165, 18);
  auto* frames = new QLineEdit(this);
  frames->setReadOnly(true);
  Place(126, frames, 530, 104, 60, 20);
  auto* guide_value = new QLineEdit(this);
  guide_value->setReadOnly(true);
  Place(127, guide_value, 530, 130, 40, 20);
  auto* guide_unit = new QLineEdit(this);
  guide_unit->setReadOnly(true);
  Place(128, guide_unit, 574, 130, 96, 20);

  // Files.
  auto* dark_label = new QLabel(QStringLiteral("Dark Frame"), this);
  dark_label->setGeometry(10, 362, 80, 20);
  auto* dark = new QLineEdit(this);
  dark->setReadOnly(true);
  Place(116, dark, 90, 362, 260, 20);
  auto* last_label = new QLabel(QStringLiteral("Last File No."), this);
  last_label->setGeometry(360, 362, 80, 20);
  auto* last = new QLineEdit(this);
  last->setReadOnly(true);
  Place(118, last, 440, 362, 60, 20);
  auto* dir_label = new QLabel(QStringLiteral("Directory"), this);
  dir_label->setGeometry(10, 388, 80, 20);
  auto* dir = new QLineEdit(this);
  dir->setReadOnly(true);
  Place(129, dir, 90, 388, 410, 20);

  // Take Photo, Cancel, Help.
  auto* take = new QPushButton(QStringLiteral("Take Photo"), this);
  take->setDefault(true);
  Place(1, take, 360, 430, 100, 28);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  Place(2, cancel, 470, 430, 100, 28);
  auto* help = new QPushButton(QStringLiteral("Help"), this);
  Place(9, help, 580, 430, 100, 28);
  connect(take, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] {
    host_.MessageBox(kHelpText, kHelpCaption);
    RefreshDialog();
  });
  RefreshDialog();
}

void TQKDialog::Place(int id, QWidget* widget, int x, int y, int w, int h) {
  widget->setGeometry(x, y, w, h);
  controls_[id] = widget;
}

void TQKDialog::AddCheck(int id, const char* text, bool RunSettings::*flag, int x, int y) {
  auto* box = new QCheckBox(QString::fromLatin1(text), this);
  Place(id, box, x, y, 200, 20);
  connect(box, &QCheckBox::clicked, this, [this, flag] {
    values_.run.*flag = !(values_.run.*flag);
    RefreshDialog();
  });
}

namespace {

// Enter in a number field takes the typed value instead of pressing the dialog's default button
// (which would start an exposure with whatever the field held).
class EnterTakesValue : public QObject {
 public:
  EnterTakesValue(QObject* parent, std::function<void()> take) : QObject(parent), take_(std::move(take)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        take_();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> take_;
};

}  // namespace

void TQKDialog::AddCounter(int bar_id, int edit_id, const char* label, int x, int y, int RunSettings::*field,
                           int low, int high_fixed) {
  auto* text = new QLabel(QString::fromLatin1(label), this);
  text->setGeometry(x, y, 200, 18);
  auto* bar = new QScrollBar(Qt::Vertical, this);
  // The thumb rises as the value grows, like the arrows.
  bar->setInvertedAppearance(true);
  Place(bar_id, bar, x, y + 20, 16, 28);
  auto* edit = new QLineEdit(this);
  Place(edit_id, edit, x + 20, y + 24, 60, 20);
  connect(bar, &QScrollBar::actionTriggered, this, [this, field, low, high_fixed](int action) {
    const int high = high_fixed > 0 ? high_fixed : values_.run.ExposureMax;
    // The upper arrow (and the track above the thumb) raises the value, the lower one lowers it.
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub:
        action = QAbstractSlider::SliderSingleStepAdd;
        break;
      case QAbstractSlider::SliderSingleStepAdd:
        action = QAbstractSlider::SliderSingleStepSub;
        break;
      case QAbstractSlider::SliderPageStepSub:
        action = QAbstractSlider::SliderPageStepAdd;
        break;
      case QAbstractSlider::SliderPageStepAdd:
        action = QAbstractSlider::SliderPageStepSub;
        break;
      default:
        break;
    }
    int& value = values_.run.*field;
    value = StepByClick(value, low, high, action);
    RefreshDialog();
  });
  // A typed value within the arrows' range is taken; anything else beeps and shows the value again.
  const auto take = [this, edit, field, low, high_fixed] {
    const int high = high_fixed > 0 ? high_fixed : values_.run.ExposureMax;
    bool number = false;
    const int typed = edit->text().trimmed().toInt(&number);
    if (number && typed >= low && typed <= high) {
      values_.run.*field = typed;
    } else if (edit->text().trimmed() != QString::number(values_.run.*field)) {
      host_.Beep();
    }
    RefreshDialog();
  };
  edit->installEventFilter(new EnterTakesValue(edit, take));
  connect(edit, &QLineEdit::editingFinished, this, take);
}

QWidget* TQKDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QAbstractButton* TQKDialog::button(int id) const {
  return qobject_cast<QAbstractButton*>(control(id));
}
QScrollBar* TQKDialog::bar(int id) const {
  return qobject_cast<QScrollBar*>(control(id));
}
QLineEdit* TQKDialog::edit(int id) const {
  return qobject_cast<QLineEdit*>(control(id));
}

void TQKDialog::RefreshDialog() {
  const RunSettings& run = values_.run;
  for (int i = 0; i < 5; ++i) button(kUnitIds[i])->setChecked(run.ExposureUnit == kUnitLetters[i]);
  const int range_max[] = {run.ExposureMax, kMaxExposureCount, kMaxPauseMinutes};
  const int bars[] = {104, 111, 120};
  const int edits[] = {105, 112, 121};
  const int shown[] = {run.ExposureValue, run.ExposureCount, run.PauseMinutes};
  for (int i = 0; i < 3; ++i) {
    QScrollBar* b = bar(bars[i]);
    {
      const QSignalBlocker block(b);
      b->setRange(0, range_max[i]);
    }
    ShowOnBar(b, shown[i]);
    edit(edits[i])->setText(QString::number(shown[i]));
  }
  ShowOnBar(bar(130), values_.palette_bits);
  edit(131)->setText(QString::number(values_.palette_bits));
  const std::pair<int, bool> checks[] = {
      {113, run.AlternativeSlew},       {114, run.AverageExposures},    {115, run.AutoSave},
      {106, run.AutoRemoveDark},        {117, run.DelayBeforeExposure}, {119, run.ContinuousMode},
      {122, run.AutoExposureMode},      {124, run.AutoColourConvert},   {132, values_.max_palette_all != 0},
      {710, run.PauseBetweenExposures},
  };
  for (const auto& [id, on] : checks) button(id)->setChecked(on);
  edit(110)->setText(QString::number(values_.max_value));
  const bool sized = values_.star_size && values_.star_size->found;
  edit(kHfrEdit)->setText(sized ? QString::number(values_.star_size->hfr, 'f', 1) : QString());
  edit(kFwhmEdit)->setText(sized ? QString::number(values_.star_size->fwhm, 'f', 1) : QString());
  button(123)->setEnabled(values_.self_guiding_available);
  button(125)->setEnabled(values_.self_guiding_available);
  edit(126)->setText(QString::number(values_.guiding_frames));
  if (run.SelfGuideNext) {
    edit(127)->setText(QString::number(run.GuidingValue));
    edit(128)->setText(QString::fromLatin1(UnitWord(run.GuidingUnit)));
  } else {
    edit(127)->clear();
    edit(128)->clear();
  }
  edit(116)->setText(QString::fromStdString(values_.dark_file));
  edit(118)->setText(QString::number(values_.last_file_no));
  edit(129)->setText(QString::fromStdString(values_.autosave_dir));
  focus_picture_ = QImage();
  if (values_.focus_bitmap_written && *values_.focus_bitmap_written) {
    focus_picture_.load(QString::fromStdString(values_.focus_bitmap.string()));
  }
  update();
}

void TQKDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  if (!focus_picture_.isNull()) painter.drawImage(kFocusPictureX, kFocusPictureY, focus_picture_);
  const FocusTrend* trend = values_.trend;
  if (trend == nullptr || trend->count == 0) return;
  // HFR (blue) and FWHM (red) of the last frames, on one scale from 0 to the largest value shown.
  painter.fillRect(kTrendArea, Qt::white);
  painter.setPen(Qt::gray);
  painter.drawRect(kTrendArea.adjusted(0, 0, -1, -1));
  double top = 1;
  for (int i = 0; i < trend->count; ++i) top = std::max(top, (*trend)[i].fwhm);
  const double dx = (kTrendArea.width() - 4) / double(kFocusTrendFrames - 1);
  auto point = [&](int i, double v) {
    return QPointF(kTrendArea.left() + 2 + i * dx,
                   kTrendArea.bottom() - 2 - v / top * (kTrendArea.height() - 4));
  };
  for (const auto& [colour, fwhm] : {std::pair{QColor(Qt::blue), false}, std::pair{QColor(Qt::red), true}}) {
    painter.setPen(colour);
    for (int i = 1; i < trend->count; ++i) {
      const StarSize& a = (*trend)[i - 1];
      const StarSize& b = (*trend)[i];
      if (!a.found || !b.found) continue;
      painter.drawLine(point(i - 1, fwhm ? a.fwhm : a.hfr), point(i, fwhm ? b.fwhm : b.hfr));
    }
  }
}

void TQKDialog::showEvent(QShowEvent* event) {
  RefreshDialog();
  QDialog::showEvent(event);
}

}  // namespace nyxel
