// The three drawing routines behind the bitmap-shaped controls: the region of a shape
// bitmap, that region grown on every side, and a one-pixel embossed edge around the shape.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QRgb>
#include <functional>
#include <optional>

namespace qz::ui {

// Calls `run` for each maximal horizontal run of pixels of `bitmap` that are not
// transparent, top row first, left to right: a rectangle one pixel high, runs of
// neighbouring rows not merged. A pixel is transparent when each of its red, green and blue
// lies within [key, min(255, key + tolerance)] of that channel. Alpha plays no part.
void ForEachOpaqueRun(const QImage& bitmap, QRgb key, QRgb tolerance,
                      const std::function<void(const QRect&)>& run);

// The region of all pixels that are not transparent (see above): empty for a bitmap that
// is all key colour, none for a null bitmap. The runs are united 2000 at a time.
std::optional<QRegion> RegionFromBitmap(const QImage& bitmap, QRgb key, QRgb tolerance);

// Every rectangle of `region` inflated by dx on the left and right and dy on the top and
// bottom; none for an empty region.
std::optional<QRegion> GrowRegion(const QRegion& region, int dx, int dy);

// A copy of `image` (as 32-bit RGB) with a one-pixel ring drawn around the shape of
// `shape`, whose pixels are those differing from its top-left pixel. The ring just above
// and left of the shape gets `light` when `raised` and `dark` when sunken; the ring just
// below and right gets the other. The shape's (0, 0) lies at (x, y) of the image; what falls
// outside the image is left out.
QImage EmbossOutline(const QImage& shape, const QImage& image, bool raised, int x, int y,
                     QRgb light, QRgb dark);

}  // namespace qz::ui
