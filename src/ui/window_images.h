// The window's images, compiled in from images/images.qrc (drawn by tools/draw_images).
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace qz::ui {

// The job-cell telephones, by the image index the job table posts: 0 grey and white
// (free slot), 1 green, 2 blue (sending), 3 yellow, 4 red, 5 orange, 6 magenta.
inline constexpr int kPhoneImageCount = 7;
QString PhoneImagePath(int index);  // empty for an index out of range

// Eight black bars on white, each narrower than the one above: the signal gauge's shape.
QString SignalShapePath();
QString AboutLogoPath();
// The application icon in all its drawn sizes.
QIcon ApplicationIcon();

}  // namespace qz::ui
