// The window's images, compiled in from src/ui/images/images.qrc (drawn by tools/draw_images).
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

#include "ui/cell_images.h"

namespace qz::ui {

// The job-cell telephone of an image index (ui/cell_images.h).
QString PhoneImagePath(int index);  // empty for an index out of range

// Eight black bars on white, each narrower than the one above: the signal gauge's shape.
QString SignalShapePath();
QString AboutLogoPath();
// The application icon in all its drawn sizes.
QIcon ApplicationIcon();

}  // namespace qz::ui
