// The gateway's colours (qz::Colour) keep red in the low byte, as the original platform's
// colour references do. These are the few things the window does with one, the same in
// both front ends; each toolkit's own colour type is made from the channels.
#pragma once

#include "core/colors.h"

namespace qz::ui {

constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFFu); }
constexpr Colour ColorOf(int red, int green, int blue) {
  return static_cast<Colour>(red & 0xFF) | static_cast<Colour>(green & 0xFF) << 8 |
         static_cast<Colour>(blue & 0xFF) << 16;
}

// Each of red, green and blue replaced by 255 minus itself.
constexpr Colour InverseColour(Colour c) { return ~c & 0x00FFFFFFu; }

// A colour as text on the window's white. Pure green (1.4:1) and mid grey (3.9:1) are too
// light to read there, below the 4.5:1 that accessibility guidelines ask; they are drawn
// in darker shades of themselves, so a line keeps its meaning. Every other colour is drawn
// as it is.
constexpr Colour TextOnWhite(Colour c) {
  if (c == kGreen) return ColorOf(0, 128, 0);
  if (c == kGrey) return ColorOf(105, 105, 105);
  return c & 0x00FFFFFFu;
}

}  // namespace qz::ui
