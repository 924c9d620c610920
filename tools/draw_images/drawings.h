// The window's images, drawn from code so that every pixel of them is ours and can be
// drawn again at will (scripts/draw-images.sh).
#pragma once

#include <QColor>
#include <QImage>

namespace qz::images {

// A desk telephone on a transparent 32 x 32 field: `body` for the base and handset,
// `outline` for their edges, `dial` for the dial's face.
struct PhoneColours {
  QColor body;
  QColor handset;
  QColor outline;
  QColor dial;
};
QImage DrawTelephone(const PhoneColours& colours);

// 36 x 96: eight pure black bars on pure white, one above the other, each narrower than the
// one above, all ending on the same column. No antialiasing: a control keys on exact white.
QImage DrawSignalShape();

// The emblem: a bell sounding between radio waves, on a blue tile. `size` pixels square.
QImage DrawApplicationIcon(int size);

// 200 x 100: the emblem beside the program's name.
QImage DrawAboutLogo();

}  // namespace qz::images
