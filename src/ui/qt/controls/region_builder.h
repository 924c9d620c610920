// Collects the one-pixel-high runs of a shape bitmap and unites them into a region in
// batches, so that a large bitmap never needs all its rectangles in memory at once.
#pragma once

#include <QRect>
#include <QRegion>
#include <vector>

namespace qz::ui {

class RegionBuilder {
 public:
  static constexpr int kBatch = 2000;

  RegionBuilder();

  // Rectangles come in scan order: top to bottom, left to right, none overlapping.
  void Add(const QRect& rect);
  // Unites what is left into the result, even when nothing is left, and returns it.
  QRegion Finish();

  // How many batches were united so far; the last one may have been empty.
  int Flushes() const { return flushes_; }

 private:
  void Flush();

  std::vector<QRect> pending_;
  QRegion result_;
  int flushes_ = 0;
};

}  // namespace qz::ui
