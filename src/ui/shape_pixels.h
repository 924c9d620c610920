// The pixel work behind the bitmap-shaped controls, for 32-bit images as both toolkits hold
// them (blue in the low byte, then green, then red; the top byte is ignored): the runs of a
// shape bitmap that make its region, and the one-pixel rings of its embossed edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qz::ui {

// Rows of 32-bit pixels; `stride` is the distance from one row to the next below it, in
// pixels (negative for an image stored bottom-up).
struct PixelRows {
  const uint32_t* top_row = nullptr;
  std::ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
  uint32_t At(int x, int y) const { return top_row[y * stride + x]; }
};

// Calls `run` for each maximal horizontal run of pixels that are not transparent, top row
// first, left to right: a rectangle one pixel high, runs of neighbouring rows not merged.
// A pixel is transparent when each of its red, green and blue lies within [key, min(255,
// key + tolerance)] of that channel (key and tolerance as pixels too).
void ForEachOpaqueRun(const PixelRows& bitmap, uint32_t key, uint32_t tolerance,
                      const std::function<void(int x, int y, int length)>& run);

enum class Ring { kUpperLeft, kLowerRight };

// The pixels of the two rings around a shape, whose pixels are those differing from its
// top-left pixel: the ring just above and left of the shape (the pixel one step down and
// right is shape, this one is not), all of it first, then the ring just below and right.
// A pixel can lie in both; drawn in this order the lower-right ring wins.
void ForEachRingPixel(const PixelRows& shape, const std::function<void(int u, int v, Ring ring)>& pixel);

}  // namespace qz::ui
