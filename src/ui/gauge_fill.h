// How a level gauge fills its client area for a position, without any toolkit: the bands
// to paint (clipped to the gauge's shape by the caller), solid or in a gradient between
// two colours whose steps are carried in single precision, so that both front ends paint
// exactly the same pixels.
#pragma once

#include <functional>

#include "core/colors.h"

namespace qz::ui {

enum class GaugeStyle {
  SolidDown = 1,      // first colour, from the top edge downwards
  SolidRight = 2,     // first colour, from the left edge rightwards
  GradientUp = 3,     // first colour at the bottom towards the second, upwards
  GradientRight = 4,  // first colour at the left towards the second, rightwards
};

struct GaugeBand {
  int x;
  int y;
  int width;
  int height;
  Colour colour;
};

struct GaugeLevel {
  GaugeStyle style = GaugeStyle::GradientRight;
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  Colour first = 0;
  Colour second = 0;
};

// Calls `band` for each rectangle to fill in a client area of `width` x `height`, in
// painting order. Bands may reach a pixel beyond the area; what lies outside is not seen.
void ForEachGaugeBand(const GaugeLevel& level, int width, int height,
                      const std::function<void(const GaugeBand&)>& band);

}  // namespace qz::ui
