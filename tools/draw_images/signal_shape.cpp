#include "drawings.h"

namespace qz::images {

QImage DrawSignalShape() {
  constexpr int kWidth = 36, kHeight = 96;
  constexpr int kBars = 8, kBarHeight = 9, kGap = 3;
  // The gauge's window is one pixel narrower and lower than this bitmap and draws a
  // one-pixel edge round the bars, so the bars keep clear of the last two columns and
  // rows, and of the first row and column, which must stay white (the edge is found
  // against the top-left pixel).
  constexpr int kTop = 1, kRight = kWidth - 3, kWidest = 32, kNarrowing = 4;

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(0xFFFFFFFFu);
  for (int bar = 0; bar < kBars; ++bar) {
    const int top = kTop + bar * (kBarHeight + kGap);
    const int left = kRight + 1 - (kWidest - bar * kNarrowing);
    for (int y = top; y < top + kBarHeight; ++y)
      for (int x = left; x <= kRight; ++x) image.setPixel(x, y, 0xFF000000u);
  }
  return image;
}

}  // namespace qz::images
