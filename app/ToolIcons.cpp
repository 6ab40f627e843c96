#include "app/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace nyxel {
namespace {

constexpr int kSize = 24;
const QColor kInk(30, 30, 30);

// A tone curve y = f(x) over the unit square, drawn in a 16-pixel box with its axes.
template <typename F>
void Curve(QPainter& p, F f, const QColor& colour) {
  p.setPen(QPen(kInk, 1));
  p.drawLine(4, 20, 20, 20);
  p.drawLine(4, 4, 4, 20);
  QPainterPath path;
  for (int i = 0; i <= 16; ++i) {
    const double x = i / 16.0;
    const QPointF pt(4 + 16 * x, 20 - 16 * f(x));
    i == 0 ? path.moveTo(pt) : path.lineTo(pt);
  }
  p.setPen(QPen(colour, 2));
  p.drawPath(path);
}

void Disk(QPainter& p, const QString& mark) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(60, 90, 160));
  p.drawRect(3, 3, 18, 18);
  p.setBrush(QColor(235, 235, 235));
  p.drawRect(6, 3, 12, 7);
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(7, 14, 10, 7);
  if (!mark.isEmpty()) {
    QFont f = p.font();
    f.setPixelSize(7);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(7, 14, 10, 7), Qt::AlignCenter, mark);
  }
}

void Ramp(QPainter& p, bool all) {
  for (int i = 0; i < 4; ++i) {
    const int v = all ? std::min(255, 90 * i) : 60 * i;
    p.fillRect(3 + 4 * i, 6, 4, 12, QColor(v, v, v));
  }
  p.setPen(QPen(kInk, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(3, 6, 16, 12);
  if (all) {
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawLine(20, 19, 20, 5);
    p.drawLine(20, 5, 17, 8);
    p.drawLine(20, 5, 23, 8);
  } else {
    p.setPen(QPen(QColor(200, 40, 40), 1));
    p.drawRect(15, 14, 7, 7);
  }
}

void Star(QPainter& p, QPointF c, double r, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(c, r, r);
}

void Draw(QPainter& p, int id) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (id) {
    case 24333:  // save
      Disk(p, {});
      break;
    case 24336:  // save as FITS
      Disk(p, QStringLiteral("F"));
      break;
    case 24332: {  // open: a folder
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(230, 190, 80));
      p.drawRect(3, 8, 18, 12);
      p.drawRect(3, 5, 7, 3);
      p.setBrush(QColor(245, 215, 120));
      p.drawPolygon(QPolygonF({QPointF(5, 11), QPointF(22, 11), QPointF(20, 20), QPointF(3, 20)}));
      break;
    }
    case 1000: {  // camera
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(70, 70, 80));
      p.drawRoundedRect(QRectF(2.5, 7.5, 19, 12), 2, 2);
      p.drawRect(7, 4, 6, 3);
      p.setBrush(QColor(120, 170, 230));
      p.drawEllipse(QPointF(12, 13.5), 4, 4);
      break;
    }
    case 1002:  // max palette stretch on all images
      Ramp(p, true);
      break;
    case 1003:  // only on focus images
      Ramp(p, false);
      break;
    case 122: {  // program defaults: a check list
      p.setPen(QPen(kInk, 1));
      p.setBrush(Qt::white);
      p.drawRect(4, 3, 16, 18);
      for (int i = 0; i < 3; ++i) {
        p.drawRect(6, 6 + 5 * i, 3, 3);
        p.drawLine(11, 7 + 5 * i, 18, 7 + 5 * i);
      }
      p.setPen(QPen(QColor(30, 140, 30), 2));
      p.drawLine(6, 7, 8, 9);
      p.drawLine(8, 9, 11, 4);
      break;
    }
    case 124: {  // pixel values: cross hairs over a pixel
      p.fillRect(10, 10, 4, 4, QColor(200, 40, 40));
      p.setPen(QPen(kInk, 1));
      p.drawLine(12, 2, 12, 8);
      p.drawLine(12, 16, 12, 22);
      p.drawLine(2, 12, 8, 12);
      p.drawLine(16, 12, 22, 12);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(12, 12), 7, 7);
      break;
    }
    case 116: {  // colour balance: three overlapping discs
      p.setCompositionMode(QPainter::CompositionMode_Plus);
      Star(p, {9, 9}, 6, QColor(220, 0, 0));
      Star(p, {15, 9}, 6, QColor(0, 200, 0));
      Star(p, {12, 15}, 6, QColor(0, 0, 230));
      break;
    }
    case 114: {  // anti-alias: a star with colour fringes
      Star(p, {10, 12}, 6, QColor(230, 40, 40));
      Star(p, {14, 12}, 6, QColor(40, 40, 230));
      Star(p, {12, 12}, 6, QColor(240, 240, 240));
      p.setPen(QPen(kInk, 1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(12, 12), 6, 6);
      break;
    }
    case 129: {  // low-pass colour: a smooth coloured wave
      QLinearGradient g(2, 0, 22, 0);
      g.setColorAt(0, QColor(220, 60, 60));
      g.setColorAt(0.5, QColor(60, 180, 60));
      g.setColorAt(1, QColor(60, 60, 220));
      QPainterPath path;
      path.moveTo(2, 12);
      path.cubicTo(7, 2, 12, 22, 17, 12);
      path.cubicTo(19, 8, 21, 9, 22, 12);
      p.setPen(QPen(QBrush(g), 3));
      p.drawPath(path);
      break;
    }
    case 1:  // normal stretch
      Curve(
          p, [](double x) { return std::clamp((x - 0.2) / 0.6, 0.0, 1.0); }, QColor(40, 90, 200));
      break;
    case 118:  // non-linear stretch
      Curve(
          p, [](double x) { return std::log1p(9 * x) / std::log(10.0); }, QColor(40, 150, 60));
      break;
    case 2:  // power law stretch
      Curve(
          p, [](double x) { return std::sqrt(x); }, QColor(200, 90, 30));
      break;
    case 103: {  // remove background: stars on black sky
      p.fillRect(3, 3, 18, 18, Qt::black);
      Star(p, {8, 8}, 1.5, Qt::white);
      Star(p, {15, 11}, 2.5, Qt::white);
      Star(p, {9, 17}, 1, Qt::white);
      break;
    }
    case 106: {  // unsharp mask: a sharpened edge profile
      p.setPen(QPen(kInk, 1));
      p.drawLine(2, 20, 22, 20);
      p.setPen(QPen(QColor(160, 40, 160), 2));
      p.drawPolyline(QPolygonF(
          {QPointF(2, 16), QPointF(9, 16), QPointF(10, 19), QPointF(13, 5), QPointF(14, 8), QPointF(22, 8)}));
      break;
    }
    case 3: {  // median: noisy pixels and a clean row
      const int noise[] = {3, 9, 1, 12, 5, 2, 10, 4};
      for (int i = 0; i < 8; ++i) {
        const int v = 60 + 15 * noise[i];
        p.fillRect(3 + 2 * i, 4, 2, 7, QColor(v, v, v));
        p.fillRect(3 + 2 * i, 14, 2, 7, QColor(140, 140, 140));
      }
      p.setPen(QPen(kInk, 1));
      p.drawLine(12, 11, 12, 13);
      break;
    }
    case 110: {  // subtract dark
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(50, 50, 50));
      p.drawRect(10, 6, 11, 12);
      p.setPen(QPen(QColor(200, 40, 40), 3));
      p.drawLine(2, 12, 8, 12);
      break;
    }
    case 117: {  // flat field: a vignetted frame made even
      QRadialGradient g(QPointF(12, 12), 12);
      g.setColorAt(0, QColor(230, 230, 230));
      g.setColorAt(1, QColor(120, 120, 120));
      p.setPen(QPen(kInk, 1));
      p.setBrush(g);
      p.drawRect(3, 3, 18, 18);
      p.setPen(QPen(QColor(40, 90, 200), 2));
      p.drawLine(6, 12, 18, 12);
      break;
    }
    case 111: {  // merge: two frames overlapping
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(120, 160, 220, 200));
      p.drawRect(3, 3, 12, 12);
      p.setBrush(QColor(230, 160, 100, 200));
      p.drawRect(9, 9, 12, 12);
      break;
    }
    case 127: {  // telescope on a tripod
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(200, 200, 210));
      p.save();
      p.translate(12, 10);
      p.rotate(-30);
      p.drawRect(QRectF(-9, -3, 18, 6));
      p.restore();
      p.setPen(QPen(kInk, 2));
      p.drawLine(12, 12, 6, 22);
      p.drawLine(12, 12, 18, 22);
      p.drawLine(12, 12, 12, 22);
      break;
    }
    case 304: {  // geometry: a frame stretched upwards and downwards
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(200, 220, 240));
      p.drawRect(5, 7, 14, 10);
      p.setPen(QPen(QColor(200, 40, 40), 2));
      p.drawLine(12, 2, 12, 6);
      p.drawLine(12, 18, 12, 22);
      p.drawLine(10, 4, 12, 2);
      p.drawLine(14, 4, 12, 2);
      p.drawLine(10, 20, 12, 22);
      p.drawLine(14, 20, 12, 22);
      break;
    }
    default: {
      p.setPen(QPen(kInk, 1));
      p.drawRect(3, 3, 18, 18);
      break;
    }
  }
}

}  // namespace

QIcon ToolIcon(int bitmap_id) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  Draw(painter, bitmap_id);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace nyxel
