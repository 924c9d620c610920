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

void AutoResetEvent::set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void AutoResetEvent::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool AutoResetEvent::wait_ms(int64_t ms) {
  ProgressWait waiting(ms);
  std::unique_lock lock(mutex_);
  bool woken = changed_.wait_for(lock, clock().real_duration(ms), [this] { return set_ || closed_; });
  set_ = false;
  return woken;
}

}  // namespace qz
