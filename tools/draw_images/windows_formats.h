// The images as the Windows front end's resource script takes them: device-independent
// bitmaps and an icon file, written byte by byte so that nothing depends on the image
// plugins a machine happens to have.
#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

namespace qz::images {

// A bottom-up 32-bit BMP, alpha in the fourth byte of each pixel (straight, not
// premultiplied): the window puts the telephones and the logo on its own background.
QByteArray BmpFile(const QImage& image);

// An .ico with each image as its own entry: 32-bit with an AND mask up to 64 pixels, PNG
// above (as Windows' own icons of 256 pixels are).
QByteArray IcoFile(const std::vector<QImage>& images);

}  // namespace qz::images
