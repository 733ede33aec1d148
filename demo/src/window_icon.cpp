#include "window_icon.h"

#include <QPainter>
#include <QPixmap>

namespace vendrel::demo {

namespace {

// A table glyph: a header band and grid lines, in a square of side `size`.
void DrawTable(QPainter& p, const QRectF& box, const QColor& header) {
  p.setPen(QPen(QColor(40, 40, 40), box.width() / 14.0));
  p.setBrush(Qt::white);
  p.drawRect(box);
  const double band = box.height() / 4.0;
  p.fillRect(QRectF(box.left(), box.top(), box.width(), band), header);
  for (int i = 2; i <= 3; ++i) {
    const double y = box.top() + band * i;
    p.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
  }
  const double x = box.left() + box.width() / 2.0;
  p.drawLine(QPointF(x, box.top() + band), QPointF(x, box.bottom()));
  p.setBrush(Qt::NoBrush);
  p.drawRect(box);
}

QPixmap Draw(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(24, 92, 160));
  p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s / 6, s / 6);
  DrawTable(p, QRectF(s * 0.10, s * 0.12, s * 0.34, s * 0.34), QColor(230, 140, 30));
  DrawTable(p, QRectF(s * 0.56, s * 0.12, s * 0.34, s * 0.34), QColor(90, 170, 60));
  p.setPen(QPen(QColor(255, 220, 120), s / 14.0));
  p.drawLine(QPointF(s * 0.27, s * 0.46), QPointF(s * 0.50, s * 0.56));
  p.drawLine(QPointF(s * 0.73, s * 0.46), QPointF(s * 0.50, s * 0.56));
  DrawTable(p, QRectF(s * 0.30, s * 0.56, s * 0.40, s * 0.34), QColor(200, 60, 60));
  return pixmap;
}

}  // namespace

QIcon WindowIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(Draw(size));
  return icon;
}

}  // namespace vendrel::demo
