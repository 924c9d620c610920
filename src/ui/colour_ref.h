// The gateway's colours (qz::Colour) keep red in the low byte, as the original platform's
// colour references do; Qt's QRgb keeps blue there. Every crossing between the two goes
// through these functions, so a swapped channel can only ever be wrong in one place.
#pragma once

#include <QColor>
#include <QRgb>

#include "core/colours.h"

namespace qz::ui {

constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFFu); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFFu); }

// The byte above blue is not a colour channel; it is dropped.
constexpr QRgb ToQRgb(Colour c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
inline QColor ToQColor(Colour c) { return QColor::fromRgb(ToQRgb(c)); }

constexpr Colour FromQRgb(QRgb rgb) {
  return static_cast<Colour>(qRed(rgb)) | static_cast<Colour>(qGreen(rgb)) << 8 |
         static_cast<Colour>(qBlue(rgb)) << 16;
}

}  // namespace qz::ui
