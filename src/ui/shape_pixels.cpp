#include "ui/shape_pixels.h"

#include <algorithm>
#include <vector>

namespace qz::ui {
namespace {

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFFu); }

}  // namespace

void ForEachOpaqueRun(const PixelRows& bitmap, uint32_t key, uint32_t tolerance,
                      const std::function<void(int x, int y, int length)>& run) {
  const auto transparent = [&](uint32_t p) {
    for (const int shift : {0, 8, 16}) {
      const int low = Channel(key, shift);
      const int high = std::min(255, low + Channel(tolerance, shift));
      const int value = Channel(p, shift);
      if (value < low || value > high) return false;
    }
    return true;
  };
  for (int y = 0; y < bitmap.height; ++y) {
    int x = 0;
    while (x < bitmap.width) {
      const int start = x;
      while (x < bitmap.width && !transparent(bitmap.At(x, y))) ++x;
      if (x > start) run(start, y, x - start);
      ++x;  // past the transparent pixel that ended the run
    }
  }
}

void ForEachRingPixel(const PixelRows& shape, const std::function<void(int u, int v, Ring ring)>& pixel) {
  const int width = shape.width;
  const int height = shape.height;
  if (width <= 0 || height <= 0) return;
  const uint32_t background = shape.At(0, 0) & 0x00FFFFFFu;
  std::vector<bool> inside(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int v = 0; v < height; ++v)
    for (int u = 0; u < width; ++u)
      inside[static_cast<std::size_t>(v) * width + u] = (shape.At(u, v) & 0x00FFFFFFu) != background;
  const auto in_shape = [&](int u, int v) {
    return u >= 0 && v >= 0 && u < width && v < height && inside[static_cast<std::size_t>(v) * width + u];
  };
  for (const auto& [offset, ring] : {std::pair{+1, Ring::kUpperLeft}, std::pair{-1, Ring::kLowerRight}})
    for (int v = 0; v < height; ++v)
      for (int u = 0; u < width; ++u)
        if (in_shape(u + offset, v + offset) && !in_shape(u, v)) pixel(u, v, ring);
}

}  // namespace qz::ui
