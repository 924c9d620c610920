#include "ui/qt/controls/bitmap_gauge.h"

#include <QPainter>

#include "ui/gauge_fill.h"
#include "ui/qt/color_ref_qt.h"
#include "ui/qt/controls/shape_drawing.h"

namespace qz::ui {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;

}  // namespace

CBitmapGauge* CBitmapGauge::Create(QWidget* parent, int x, int y, const QImage& shape) {
  if (!parent || shape.isNull()) return nullptr;
  auto* gauge = new CBitmapGauge(parent, shape);
  gauge->setGeometry(x, y, shape.width() - 1, shape.height() - 1);
  if (const auto outline = GrowRegion(gauge->shape_region_, 1, 1))
    gauge->setMask(*outline);
  gauge->show();
  return gauge;
}

CBitmapGauge::CBitmapGauge(QWidget* parent, const QImage& shape)
    : QWidget(parent),
      background_(palette().color(QPalette::Button)),
      shape_(shape.convertToFormat(QImage::Format_RGB32)),
      shape_region_(RegionFromBitmap(shape_, kWhite, 0).value_or(QRegion())) {
  // Painting covers the whole client area; erasing first would only flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::ArrowCursor);
}

void CBitmapGauge::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  Invalidate();
}

int CBitmapGauge::SetPosition(int position) {
  const int previous = position_;
  position_ = position;
  if (position != previous) Invalidate();
  return previous;
}

CBitmapGauge::FillStyle CBitmapGauge::SetStyle(FillStyle style) {
  const FillStyle previous = style_;
  style_ = style;
  if (style != previous) Invalidate();
  return previous;
}

void CBitmapGauge::SetColours(Colour first, Colour second) {
  const QColor new_first = ToQColor(first);
  const QColor new_second = ToQColor(second);
  if (new_first != first_ || new_second != second_) Invalidate();
  first_ = new_first;
  second_ = new_second;
}

// Only the shape changes with the level; the edge around it stays as it was.
void CBitmapGauge::Invalidate() { update(shape_region_); }

QImage CBitmapGauge::Render() const {
  QImage image(size(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(background_);
  FillLevel(image);
  return EmbossOutline(shape_, image, /*raised=*/false, 0, 0, palette().color(QPalette::Light).rgb(),
                       palette().color(QPalette::Dark).rgb());
}

void CBitmapGauge::FillLevel(QImage& image) const {
  QPainter painter(&image);
  painter.setClipRegion(shape_region_);
  const GaugeLevel level{style_, minimum_, maximum_, position_, FromQRgb(first_.rgb()), FromQRgb(second_.rgb())};
  ForEachGaugeBand(level, image.width(), image.height(), [&](const GaugeBand& band) {
    painter.fillRect(QRect(band.x, band.y, band.width, band.height), ToQColor(band.colour));
  });
}

void CBitmapGauge::paintEvent(QPaintEvent*) {
  ++paint_count_;
  // One blit of the finished image: the window never shows a half-drawn level.
  QPainter(this).drawImage(0, 0, Render());
}

}  // namespace qz::ui
