#pragma once
// The picture area of the main window: scroll bars, paint and mouse over the picture.
#include <QAbstractScrollArea>

namespace nyxel {

class TNyxelWindow;

class TPictureView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TPictureView(TNyxelWindow& window);
  // Range = picture size less the client size (0 when negative, or with fit to window).
  void UpdateScrollRange();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  TNyxelWindow& window_;
};

}  // namespace nyxel
