#include "ui/controls/bitmap_gauge.h"

#include <QPainter>
#include <algorithm>
#include <cstdint>

#include "ui/colour_ref.h"
#include "ui/controls/shape_drawing.h"

namespace qz::ui {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;

// a * b / c in 64 bits, truncated towards zero as C's division is, clamped into int so an
// absurd position cannot overflow a coordinate.
int MulDivTruncated(int64_t a, int64_t b, int64_t c) {
  const int64_t q = a * b / c;
  return static_cast<int>(std::clamp<int64_t>(q, INT32_MIN / 2, INT32_MAX / 2));
}

// Colour steps carried in single precision and truncated per row or column, so the bands
// of a gradient fall on exactly the same pixels on every machine.
class GradientWalk {
 public:
  GradientWalk(const QColor& from, const QColor& to, int steps)
      : red_(static_cast<float>(from.red())),
        green_(static_cast<float>(from.green())),
        blue_(static_cast<float>(from.blue())),
        red_step_(static_cast<float>(to.red() - from.red()) / static_cast<float>(steps)),
        green_step_(static_cast<float>(to.green() - from.green()) / static_cast<float>(steps)),
        blue_step_(static_cast<float>(to.blue() - from.blue()) / static_cast<float>(steps)) {}

  // Each channel truncated towards zero and kept to its low byte, as the platform's
  // colour macro keeps it.
  QColor Current() const { return QColor(Channel(red_), Channel(green_), Channel(blue_)); }
  void Advance() {
    red_ += red_step_;
    green_ += green_step_;
    blue_ += blue_step_;
  }

 private:
  static int Channel(float value) {
    return static_cast<int>(static_cast<uint8_t>(static_cast<int>(value)));
  }

  float red_, green_, blue_;
  float red_step_, green_step_, blue_step_;
};

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
  const int width = image.width();
  const int height = image.height();
  const int64_t range = int64_t{maximum_} - minimum_ + 1;
  if (range == 0) return;  // a range of no values has no level to show

  QPainter painter(&image);
  painter.setClipRegion(shape_region_);
  switch (style_) {
    case FillStyle::SolidDown: {
      const int filled = MulDivTruncated(int64_t{position_} - minimum_, height + 2, range) + 1;
      if (filled > 0) painter.fillRect(QRect(0, -1, width, filled), first_);
      break;
    }
    case FillStyle::SolidRight: {
      const int filled = MulDivTruncated(int64_t{position_} - minimum_, width + 2, range) + 1;
      if (filled > 0) painter.fillRect(QRect(-1, 0, filled, height), first_);
      break;
    }
    case FillStyle::GradientUp: {
      // Row by row from y = height + 1, below the client area, up to the row under `top`.
      // The rows below the area are not seen but still take their step of the gradient;
      // the rows above it are neither seen nor needed.
      const int top = MulDivTruncated(int64_t{maximum_} - position_, height + 2, range);
      if (height < top) break;
      GradientWalk walk(first_, second_, height);
      for (int y = height + 1; y >= std::max(top + 1, 0); --y) {
        painter.fillRect(QRect(0, y, width, 1), walk.Current());
        walk.Advance();
      }
      break;
    }
    case FillStyle::GradientRight: {
      // Column by column from x = -1; the columns right of the area are not needed.
      const int right = MulDivTruncated(int64_t{position_} - minimum_, width + 2, range);
      if (right < 0) break;
      GradientWalk walk(first_, second_, width);
      for (int x = -1; x <= std::min(right - 1, width - 1); ++x) {
        painter.fillRect(QRect(x, 0, 1, height), walk.Current());
        walk.Advance();
      }
      break;
    }
  }
}

void CBitmapGauge::paintEvent(QPaintEvent*) {
  ++paint_count_;
  // One blit of the finished image: the window never shows a half-drawn level.
  QPainter(this).drawImage(0, 0, Render());
}

}  // namespace qz::ui
