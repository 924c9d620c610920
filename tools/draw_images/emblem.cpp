#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include "drawings.h"

namespace qz::images {
namespace {

const QColor kTileTop(0x2F, 0x74, 0xC0);
const QColor kTileBottom(0x16, 0x3F, 0x7A);
const QColor kAlert(0xE5, 0x39, 0x35);

// A bell sounding between radio waves, in a 256-unit square; white on the tile.
void PaintBellAndWaves(QPainter& p) {
  p.save();
  // The bell: dome, flared lip, clapper and the ring it hangs from.
  QPainterPath bell;
  bell.moveTo(128, 62);
  bell.cubicTo(92, 62, 84, 96, 84, 124);
  bell.lineTo(84, 150);
  bell.cubicTo(84, 162, 70, 168, 64, 176);
  bell.lineTo(192, 176);
  bell.cubicTo(186, 168, 172, 162, 172, 150);
  bell.lineTo(172, 124);
  bell.cubicTo(172, 96, 164, 62, 128, 62);
  bell.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(bell);
  p.drawRoundedRect(QRectF(58, 172, 140, 14), 7, 7);
  p.drawEllipse(QPointF(128, 200), 15, 15);
  p.drawEllipse(QPointF(128, 56), 12, 12);

  // Two waves on each side of the dome.
  QPen wave(Qt::white, 14, Qt::SolidLine, Qt::RoundCap);
  p.setPen(wave);
  p.setBrush(Qt::NoBrush);
  const QPointF centre(128, 118);
  for (const qreal radius : {72.0, 100.0}) {
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(box, -28 * 16, 56 * 16);        // right
    p.drawArc(box, (180 - 28) * 16, 56 * 16);  // left
  }
  p.restore();
}

void PaintTile(QPainter& p) {
  QLinearGradient fill(0, 0, 0, 256);
  fill.setColorAt(0, kTileTop);
  fill.setColorAt(1, kTileBottom);
  p.setPen(QPen(kTileBottom.darker(130), 4));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(6, 6, 244, 244), 52, 52);
  // A soft sheen over the upper half.
  QLinearGradient sheen(0, 8, 0, 128);
  sheen.setColorAt(0, QColor(255, 255, 255, 46));
  sheen.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(sheen);
  p.drawRoundedRect(QRectF(10, 10, 236, 118), 48, 48);
}

// The alarm mark: a red disc at the top right.
void PaintAlert(QPainter& p) {
  p.setPen(QPen(Qt::white, 10));
  p.setBrush(kAlert);
  p.drawEllipse(QPointF(206, 50), 30, 30);
}

}  // namespace

QImage DrawApplicationIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  PaintTile(p);
  PaintBellAndWaves(p);
  PaintAlert(p);
  return image;
}

QImage DrawAboutLogo() {
  QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // A dark panel carrying the emblem and the name.
  QLinearGradient panel(0, 0, 0, 100);
  panel.setColorAt(0, QColor(0x1E, 0x33, 0x52));
  panel.setColorAt(1, QColor(0x10, 0x1D, 0x31));
  p.setPen(Qt::NoPen);
  p.setBrush(panel);
  p.drawRoundedRect(QRectF(0, 0, 200, 100), 10, 10);

  p.save();
  p.translate(10, 18);
  p.scale(64 / 256.0, 64 / 256.0);
  PaintTile(p);
  PaintBellAndWaves(p);
  PaintAlert(p);
  p.restore();

  QFont name(QStringLiteral("DejaVu Sans"));
  name.setBold(true);
  name.setPixelSize(25);
  p.setFont(name);
  p.setPen(Qt::white);
  p.drawText(QRectF(84, 18, 112, 32), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("qzgsms"));

  QFont tagline(QStringLiteral("DejaVu Sans"));
  tagline.setPixelSize(10);
  p.setFont(tagline);
  p.setPen(QColor(0xA9, 0xC4, 0xE8));
  p.drawText(QRectF(85, 60, 112, 14), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("GSM \u00B7 SMS \u00B7 MMS"));
  p.drawText(QRectF(85, 73, 112, 14), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("alarm gateway"));

  // A thin red rule between name and tagline, clear of the descenders: the alarm colour of
  // the emblem.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xE5, 0x39, 0x35));
  p.drawRoundedRect(QRectF(85, 56, 28, 2), 1, 1);
  return image;
}

}  // namespace qz::images
