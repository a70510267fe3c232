#include "controls/qt/round_frame.h"

#include <QPainter>
#include <QPen>
#include <QResizeEvent>

QPainterPath RoundFrameOutline(const QRect& client, int radius) {
  // Right and bottom are the client rectangle's exclusive edges.
  const qreal l = client.left(), t = client.top();
  const qreal r = client.left() + client.width(), b = client.top() + client.height();
  const qreal rx = radius, ry = radius;
  QPainterPath path;
  path.moveTo(l, t + ry - 1);
  path.lineTo(l, b - ry);
  path.arcTo(QRectF(l, b - 2 * ry, 2 * rx, 2 * ry), 180, 90);
  path.lineTo(r - rx, b);
  path.arcTo(QRectF(r - 2 * rx, b - 2 * ry, 2 * rx, 2 * ry), 270, 90);
  path.lineTo(r, t + ry - 1);
  path.moveTo(r, t + ry);
  path.arcTo(QRectF(r - 2 * rx, t, 2 * rx, 2 * ry), 0, 90);
  path.lineTo(l + rx, t);
  path.arcTo(QRectF(l, t, 2 * rx, 2 * ry), 90, 90);
  return path;
}

QRegion RoundFrameRegion(const QSize& size, int ellipse) {
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, size.width(), size.height()), ellipse / 2.0, ellipse / 2.0);
  return QRegion(path.toFillPolygon().toPolygon());
}

CRoundFrame::CRoundFrame(QWidget* parent) : CStyledLabel(parent) {}

void CRoundFrame::resizeEvent(QResizeEvent* event) {
  setMask(RoundFrameRegion(event->size(), kRegionEllipse));
  update();
  CStyledLabel::resizeEvent(event);
}

void CRoundFrame::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QPen pen(Qt::black, kPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(RoundFrameOutline(rect(), kRadius));
}
