#include "app/TInfoDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace nyxel {
namespace {

QString OneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%1.1f", value);
  return QString::fromLatin1(text);
}

}  // namespace

TInfoDialog::TInfoDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kInfoCaption.data(), static_cast<int>(kInfoCaption.size())));
  setModal(false);
  setFixedSize(400, 260);
  const struct {
    int id;
    const char* label;
    int y;
  } rows[] = {{101, "Star X", 75}, {102, "Star Y", 105}, {103, "Drift X", 145}, {104, "Drift Y", 175}};
  for (const auto& row : rows) {
    auto* label = new QLabel(QString::fromLatin1(row.label), this);
    label->setGeometry(230, row.y, 60, 20);
    auto* edit = new QLineEdit(this);
    edit->setReadOnly(true);
    edit->setGeometry(295, row.y, 80, 20);
    edits_[row.id] = edit;
  }
  graph_button_ = new QPushButton(QStringLiteral("Guiding Graph"), this);
  graph_button_->setGeometry(230, 215, 145, 26);
  connect(graph_button_, &QPushButton::clicked, this, [this] {
    if (open_graph) open_graph();
  });
}

QLineEdit* TInfoDialog::edit(int id) const {
  const auto it = edits_.find(id);
  return it == edits_.end() ? nullptr : it->second;
}

void TInfoDialog::SetValues(const GuidingInfoValues& values) {
  edit(101)->setText(OneDecimal(values.star_x));
  edit(102)->setText(OneDecimal(values.star_y));
  edit(103)->setText(OneDecimal(values.drift_x));
  edit(104)->setText(OneDecimal(values.drift_y));
  ref_x_ = values.ref_x;
  ref_y_ = values.ref_y;
  update();
}

void TInfoDialog::LoadPicture(const std::filesystem::path& bitmap_file) {
  QImage image;
  if (image.load(QString::fromStdString(bitmap_file.string()))) picture_ = image;
  update();
}

QLine TInfoDialog::horizontalLine() const {
  return QLine(ref_x_ + 55, ref_y_ + 75, ref_x_ + 95, ref_y_ + 75);
}

QLine TInfoDialog::verticalLine() const {
  return QLine(ref_x_ + 75, ref_y_ + 57, ref_x_ + 75, ref_y_ + 95);
}

void TInfoDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  if (!picture_.isNull()) painter.drawImage(kPictureX, kPictureY, picture_);
  painter.setPen(QPen(QColor(255, 255, 0), 1));
  painter.drawLine(horizontalLine());
  painter.drawLine(verticalLine());
}

}  // namespace nyxel
