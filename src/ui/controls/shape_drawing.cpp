#include "ui/controls/shape_drawing.h"

#include <algorithm>
#include <vector>

#include "ui/controls/region_builder.h"

namespace qz::ui {
namespace {

struct ChannelRange {
  int low;
  int high;
  bool Contains(int value) const { return value >= low && value <= high; }
};

ChannelRange RangeOf(int key, int tolerance) { return {key, std::min(255, key + tolerance)}; }

}  // namespace

void ForEachOpaqueRun(const QImage& bitmap, QRgb key, QRgb tolerance,
                      const std::function<void(const QRect&)>& run) {
  const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
  if (pixels.isNull()) return;
  const ChannelRange red = RangeOf(qRed(key), qRed(tolerance));
  const ChannelRange green = RangeOf(qGreen(key), qGreen(tolerance));
  const ChannelRange blue = RangeOf(qBlue(key), qBlue(tolerance));
  const auto transparent = [&](QRgb p) {
    return red.Contains(qRed(p)) && green.Contains(qGreen(p)) && blue.Contains(qBlue(p));
  };

  const int width = pixels.width();
  for (int y = 0; y < pixels.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < width) {
      const int start = x;
      while (x < width && !transparent(row[x])) ++x;
      if (x > start) run(QRect(start, y, x - start, 1));
      ++x;  // past the transparent pixel that ended the run
    }
  }
}

std::optional<QRegion> RegionFromBitmap(const QImage& bitmap, QRgb key, QRgb tolerance) {
  if (bitmap.isNull()) return std::nullopt;
  RegionBuilder builder;
  ForEachOpaqueRun(bitmap, key, tolerance, [&](const QRect& rect) { builder.Add(rect); });
  return builder.Finish();
}

std::optional<QRegion> GrowRegion(const QRegion& region, int dx, int dy) {
  if (region.isEmpty()) return std::nullopt;
  QRegion grown;
  for (const QRect& rect : region) grown += rect.adjusted(-dx, -dy, dx, dy);
  return grown;
}

QImage EmbossOutline(const QImage& shape, const QImage& image, bool raised, int x, int y,
                     QRgb light, QRgb dark) {
  QImage result = image.convertToFormat(QImage::Format_RGB32);
  const QImage bits = shape.convertToFormat(QImage::Format_RGB32);
  if (result.isNull() || bits.isNull()) return result;

  const int width = bits.width();
  const int height = bits.height();
  const QRgb background = bits.pixel(0, 0) | 0xFF000000u;
  std::vector<bool> inside(static_cast<size_t>(width) * height);
  for (int v = 0; v < height; ++v) {
    const auto* row = reinterpret_cast<const QRgb*>(bits.constScanLine(v));
    for (int u = 0; u < width; ++u) inside[static_cast<size_t>(v) * width + u] = (row[u] | 0xFF000000u) != background;
  }
  const auto in_shape = [&](int u, int v) {
    return u >= 0 && v >= 0 && u < width && v < height && inside[static_cast<size_t>(v) * width + u];
  };
  const auto paint_ring = [&](int offset, QRgb colour) {
    for (int v = 0; v < height; ++v) {
      const int ry = y + v;
      if (ry < 0 || ry >= result.height()) continue;
      auto* row = reinterpret_cast<QRgb*>(result.scanLine(ry));
      for (int u = 0; u < width; ++u) {
        const int rx = x + u;
        if (rx < 0 || rx >= result.width()) continue;
        if (in_shape(u + offset, v + offset) && !in_shape(u, v)) row[rx] = colour | 0xFF000000u;
      }
    }
  };
  // Upper-left ring: the pixel one step down and right is shape. Lower-right ring: the
  // pixel one step up and left is. The lower-right ring is painted last and wins where
  // the two meet.
  paint_ring(+1, raised ? light : dark);
  paint_ring(-1, raised ? dark : light);
  return result;
}

}  // namespace qz::ui
