#include "ui/gauge_fill.h"

#include <algorithm>
#include <cstdint>

#include "ui/color_ref.h"

namespace qz::ui {
namespace {

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
  GradientWalk(Colour from, Colour to, int steps)
      : red_(static_cast<float>(RedOf(from))),
        green_(static_cast<float>(GreenOf(from))),
        blue_(static_cast<float>(BlueOf(from))),
        red_step_(static_cast<float>(RedOf(to) - RedOf(from)) / static_cast<float>(steps)),
        green_step_(static_cast<float>(GreenOf(to) - GreenOf(from)) / static_cast<float>(steps)),
        blue_step_(static_cast<float>(BlueOf(to) - BlueOf(from)) / static_cast<float>(steps)) {}

  // Each channel truncated towards zero and kept to its low byte, as the platform's
  // colour macro keeps it.
  Colour Current() const { return ColorOf(Channel(red_), Channel(green_), Channel(blue_)); }
  void Advance() {
    red_ += red_step_;
    green_ += green_step_;
    blue_ += blue_step_;
  }

 private:
  static int Channel(float value) { return static_cast<int>(static_cast<uint8_t>(static_cast<int>(value))); }

  float red_, green_, blue_;
  float red_step_, green_step_, blue_step_;
};

}  // namespace

void ForEachGaugeBand(const GaugeLevel& level, int width, int height,
                      const std::function<void(const GaugeBand&)>& band) {
  const int64_t range = int64_t{level.maximum} - level.minimum + 1;
  if (range == 0) return;  // a range of no values has no level to show
  switch (level.style) {
    case GaugeStyle::SolidDown: {
      const int filled = MulDivTruncated(int64_t{level.position} - level.minimum, height + 2, range) + 1;
      if (filled > 0) band({0, -1, width, filled, level.first});
      break;
    }
    case GaugeStyle::SolidRight: {
      const int filled = MulDivTruncated(int64_t{level.position} - level.minimum, width + 2, range) + 1;
      if (filled > 0) band({-1, 0, filled, height, level.first});
      break;
    }
    case GaugeStyle::GradientUp: {
      // Row by row from y = height + 1, below the client area, up to the row under `top`.
      // The rows below the area are not seen but still take their step of the gradient;
      // the rows above it are neither seen nor needed.
      const int top = MulDivTruncated(int64_t{level.maximum} - level.position, height + 2, range);
      if (height < top) break;
      GradientWalk walk(level.first, level.second, height);
      for (int y = height + 1; y >= std::max(top + 1, 0); --y) {
        band({0, y, width, 1, walk.Current()});
        walk.Advance();
      }
      break;
    }
    case GaugeStyle::GradientRight: {
      // Column by column from x = -1; the columns right of the area are not needed.
      const int right = MulDivTruncated(int64_t{level.position} - level.minimum, width + 2, range);
      if (right < 0) break;
      GradientWalk walk(level.first, level.second, width);
      for (int x = -1; x <= std::min(right - 1, width - 1); ++x) {
        band({x, 0, 1, height, walk.Current()});
        walk.Advance();
      }
      break;
    }
  }
}

}  // namespace qz::ui
