#include "app/ToolIcons.h"

#include <QPainter>
#include <QPixmap>

namespace nyxel {
namespace {

// Glyph shown on the tile of each button.
QString Glyph(int id) {
  switch (id) {
    case 24333:
      return QStringLiteral("S");
    case 24336:
      return QStringLiteral("F");
    case 24332:
      return QStringLiteral("O");
    case 1000:
      return QStringLiteral("C");
    case 1002:
      return QStringLiteral("M+");
    case 1003:
      return QStringLiteral("M-");
    case 122:
      return QStringLiteral("D");
    case 124:
      return QStringLiteral("V");
    case 116:
      return QStringLiteral("B");
    case 114:
      return QStringLiteral("AA");
    case 129:
      return QStringLiteral("LP");
    case 1:
      return QStringLiteral("N");
    case 118:
      return QStringLiteral("NL");
    case 2:
      return QStringLiteral("P");
    case 103:
      return QStringLiteral("RB");
    case 106:
      return QStringLiteral("U");
    case 3:
      return QStringLiteral("Md");
    case 110:
      return QStringLiteral("-D");
    case 117:
      return QStringLiteral("FF");
    case 111:
      return QStringLiteral("+");
    case 127:
      return QStringLiteral("T");
    case 304:
      return QStringLiteral("G");
    default:
      return QStringLiteral("?");
  }
}

}  // namespace

QIcon ToolIcon(int bitmap_id) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(QColor(220, 220, 220));
  p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 3, 3);
  QFont f = p.font();
  f.setPixelSize(10);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, Glyph(bitmap_id));
  return QIcon(pixmap);
}

}  // namespace nyxel
