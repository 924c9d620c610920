#include "ui/qt/controls/region_builder.h"

namespace qz::ui {

RegionBuilder::RegionBuilder() { pending_.reserve(100); }

void RegionBuilder::Add(const QRect& rect) {
  pending_.push_back(rect);
  if (static_cast<int>(pending_.size()) == kBatch) Flush();
}

QRegion RegionBuilder::Finish() {
  Flush();
  return result_;
}

void RegionBuilder::Flush() {
  // Adding the rectangles one by one (rather than handing Qt the list as it stands) keeps
  // the region in its canonical form, with equal rows merged, as the platform's own
  // regions are; the runs arrive in scan order, which Qt appends cheaply.
  QRegion batch;
  for (const QRect& rect : pending_) batch += rect;
  result_ = flushes_ == 0 ? batch : result_.united(batch);
  ++flushes_;
  pending_.clear();
}

}  // namespace qz::ui
