// The drawing routines behind the bitmap-shaped gauge in GDI terms: the pixels of a
// bitmap, the region of its shape and that region grown on every side.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/shape_pixels.h"

namespace qz::ui::win32 {

// A bitmap's pixels as 32-bit values, top row first; `rows` points into `pixels`.
struct BitmapPixels {
  std::vector<uint32_t> pixels;
  PixelRows rows;
};
std::optional<BitmapPixels> PixelsOf(HBITMAP bitmap);

// Each maximal run of pixels in a row outside [key, key + tolerance] (per channel) becomes
// a rectangle one pixel high; the rectangles are made into regions 2000 at a time and
// united. Null for a null bitmap or when a drawing object cannot be made.
HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF key, COLORREF tolerance);

// Every rectangle of `region` inflated by dx left and right and dy above and below; null
// for an empty region.
HRGN GrowRegion(HRGN region, int dx, int dy);

}  // namespace qz::ui::win32
