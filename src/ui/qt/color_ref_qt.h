// The gateway's colours (qz::Colour) keep red in the low byte; Qt's QRgb keeps blue there.
// Every crossing between the two goes through these functions, so a swapped channel can
// only ever be wrong in one place.
#pragma once

#include <QColor>
#include <QRgb>

#include "ui/color_ref.h"

namespace qz::ui {

// The byte above blue is not a colour channel; it is dropped.
constexpr QRgb ToQRgb(Colour c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
inline QColor ToQColor(Colour c) { return QColor::fromRgb(ToQRgb(c)); }

constexpr Colour FromQRgb(QRgb rgb) { return ColorOf(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

}  // namespace qz::ui
