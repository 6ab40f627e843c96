#include "app/TCBDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/TMTDialog.h"

namespace nyxel {

TCBDialog::TCBDialog(std::function<void(char)> move_start, std::function<void()> move_end, QWidget* parent)
    : QDialog(parent),
      move_start_(std::move(move_start)),
      move_end_(std::move(move_end)),
      left_right_(new TArrowBar(Qt::Horizontal, this)),
      up_down_(new TArrowBar(Qt::Vertical, this)) {
  setWindowTitle(QStringLiteral("Move Telescope"));
  setModal(false);
  left_right_->setObjectName(QStringLiteral("101"));
  up_down_->setObjectName(QStringLiteral("102"));
  left_right_->setMinimumWidth(140);
  up_down_->setMinimumHeight(100);
  auto* finished = new QPushButton(QStringLiteral("Finished"), this);
  finished->setObjectName(QStringLiteral("2"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Up"), this), 0, 1, Qt::AlignHCenter);
  grid->addWidget(up_down_, 1, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Down"), this), 2, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Left"), this), 3, 0);
  grid->addWidget(left_right_, 3, 1);
  grid->addWidget(new QLabel(QStringLiteral("Right"), this), 3, 2);
  grid->addWidget(finished, 4, 1);

  left_right_->step = [this](int d) {
    if (move_start_) move_start_(d < 0 ? 'w' : 'e');
  };
  up_down_->step = [this](int d) {
    if (move_start_) move_start_(d < 0 ? 'n' : 's');
  };
  left_right_->end = up_down_->end = [this] {
    if (move_end_) move_end_();
  };
  connect(finished, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
}

void TCBDialog::done(int result) {
  if (move_end_) move_end_();
  QDialog::done(result);
}

}  // namespace nyxel
