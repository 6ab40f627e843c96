#include "app/Printing.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

namespace nyxel {

bool PrintBitmapFile(QPrinter& printer, const QString& bitmap_file) {
  QImage image;
  if (!image.load(bitmap_file, "BMP")) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const QRect page = painter.viewport();
  QSize size = image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  const QRect target(page.x() + (page.width() - size.width()) / 2,
                     page.y() + (page.height() - size.height()) / 2, size.width(), size.height());
  painter.drawImage(target, image);
  return painter.end();
}

}  // namespace nyxel
