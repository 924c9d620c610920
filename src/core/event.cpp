#include "core/event.h"

#include "core/clock.h"
#include "core/worker_progress.h"

namespace qz {

void ManualResetEvent::set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::is_set() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool ManualResetEvent::wait_ms(int64_t ms) {
  ProgressWait waiting(ms);
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, clock().real_duration(ms), [this] { return set_; });
}

}  // namespace qz
