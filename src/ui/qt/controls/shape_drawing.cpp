#include "ui/qt/controls/shape_drawing.h"

#include "ui/qt/controls/region_builder.h"
#include "ui/shape_pixels.h"

namespace qz::ui {
namespace {

// The pixels of an image in 32-bit form, which `keep` holds.
PixelRows RowsOf(const QImage& keep) {
  return {reinterpret_cast<const uint32_t*>(keep.constScanLine(0)),
          static_cast<std::ptrdiff_t>(keep.bytesPerLine() / 4), keep.width(), keep.height()};
}

}  // namespace

void ForEachOpaqueRun(const QImage& bitmap, QRgb key, QRgb tolerance,
                      const std::function<void(const QRect&)>& run) {
  const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
  if (pixels.isNull()) return;
  ui::ForEachOpaqueRun(RowsOf(pixels), key, tolerance,
                       [&](int x, int y, int length) { run(QRect(x, y, length, 1)); });
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
  const QRgb upper_left = (raised ? light : dark) | 0xFF000000u;
  const QRgb lower_right = (raised ? dark : light) | 0xFF000000u;
  ForEachRingPixel(RowsOf(bits), [&](int u, int v, Ring ring) {
    const int rx = x + u;
    const int ry = y + v;
    if (rx < 0 || ry < 0 || rx >= result.width() || ry >= result.height()) return;
    reinterpret_cast<QRgb*>(result.scanLine(ry))[rx] = ring == Ring::kUpperLeft ? upper_left : lower_right;
  });
  return result;
}

}  // namespace qz::ui
