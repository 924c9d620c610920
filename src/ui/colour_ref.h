// The gateway's colours (qz::Colour) keep red in the low byte, as the original platform's
// colour references do; Qt's QRgb keeps blue there. Every crossing between the two goes
// through these functions, so a swapped channel can only ever be wrong in one place.
#pragma once

#include <QColor>
#include <QRgb>

#include "core/colors.h"

namespace qz::ui {

constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFFu); }

// The byte above blue is not a colour channel; it is dropped.
constexpr QRgb ToQRgb(Colour c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
inline QColor ToQColor(Colour c) { return QColor::fromRgb(ToQRgb(c)); }

// A colour as text on the window's white. Pure green (1.4:1) and mid grey (3.9:1) are too
// light to read there, below the 4.5:1 that accessibility guidelines ask; they are drawn
// in darker shades of themselves, so a line keeps its meaning. Every other colour is drawn
// as it is.
constexpr QRgb TextOnWhite(Colour c) {
  if (c == kGreen) return qRgb(0, 128, 0);
  if (c == kGrey) return qRgb(105, 105, 105);
  return ToQRgb(c);
}

constexpr Colour FromQRgb(QRgb rgb) {
  return static_cast<Colour>(qRed(rgb)) | static_cast<Colour>(qGreen(rgb)) << 8 |
         static_cast<Colour>(qBlue(rgb)) << 16;
}

}  // namespace qz::ui
