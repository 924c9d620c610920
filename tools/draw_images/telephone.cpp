#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

#include "drawings.h"

namespace qz::images {
namespace {

// The base: a trapezoid with softened corners, wide at the foot.
QPainterPath BasePath() {
  QPainterPath path;
  path.moveTo(10.5, 14.5);
  path.lineTo(21.5, 14.5);
  path.quadTo(23.5, 14.5, 24.2, 16.4);
  path.lineTo(28.3, 26.2);
  path.quadTo(29.0, 28.5, 26.5, 28.5);
  path.lineTo(5.5, 28.5);
  path.quadTo(3.0, 28.5, 3.7, 26.2);
  path.lineTo(7.8, 16.4);
  path.quadTo(8.5, 14.5, 10.5, 14.5);
  path.closeSubpath();
  return path;
}

// The handset lying in its cradle: an arched grip with an ear cup and a mouth cup.
QPainterPath HandsetPath() {
  QPainterPath path;
  path.moveTo(2.5, 11.0);
  path.cubicTo(2.5, 5.0, 29.5, 5.0, 29.5, 11.0);  // top of the grip
  path.lineTo(29.5, 12.5);
  path.quadTo(29.5, 13.5, 28.5, 13.5);
  path.lineTo(22.5, 13.5);
  path.quadTo(21.5, 13.5, 21.5, 12.5);
  path.lineTo(21.5, 11.6);
  path.cubicTo(19.0, 9.6, 13.0, 9.6, 10.5, 11.6);  // underside of the grip
  path.lineTo(10.5, 12.5);
  path.quadTo(10.5, 13.5, 9.5, 13.5);
  path.lineTo(3.5, 13.5);
  path.quadTo(2.5, 13.5, 2.5, 12.5);
  path.closeSubpath();
  return path;
}

}  // namespace

QImage DrawTelephone(const PhoneColours& colours) {
  QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QPen edge(colours.outline, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

  // A faint shadow under the foot grounds the set on any background.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 40));
  p.drawRoundedRect(QRectF(4.0, 28.0, 24.0, 2.0), 1.0, 1.0);

  QLinearGradient base(0, 14, 0, 29);
  base.setColorAt(0, colours.body.lighter(112));
  base.setColorAt(1, colours.body.darker(108));
  p.setPen(edge);
  p.setBrush(base);
  p.drawPath(BasePath());

  // Cradle posts under the cups.
  p.setBrush(colours.outline);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(6.0, 13.5, 1.0, 1.5));
  p.drawRect(QRectF(25.0, 13.5, 1.0, 1.5));

  QLinearGradient grip(0, 6, 0, 14);
  grip.setColorAt(0, colours.handset.lighter(120));
  grip.setColorAt(1, colours.handset.darker(105));
  p.setPen(edge);
  p.setBrush(grip);
  p.drawPath(HandsetPath());

  // The dial: a light face with finger holes round a hub of the body's colour.
  const QPointF centre(16.0, 22.0);
  p.setBrush(colours.dial);
  p.drawEllipse(centre, 4.6, 4.6);
  p.setPen(Qt::NoPen);
  p.setBrush(colours.outline);
  for (int hole = 0; hole < 8; ++hole) {
    const qreal angle = (hole * 36.0 - 20.0) * std::numbers::pi / 180.0;
    p.drawEllipse(centre + QPointF(3.0 * std::cos(angle), -3.0 * std::sin(angle)), 0.55, 0.55);
  }
  p.setBrush(colours.body);
  p.setPen(QPen(colours.outline, 0.8));
  p.drawEllipse(centre, 1.5, 1.5);
  return image;
}

}  // namespace qz::images
