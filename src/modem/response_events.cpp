#include "modem/response_events.h"

#include "core/clock.h"
#include "core/worker_progress.h"

namespace qz {

void ResponseEvents::set(ResponseEvent e) {
  {
    std::lock_guard lock(mutex_);
    set_[e] = true;
  }
  changed_.notify_all();
}

void ResponseEvents::clear(ResponseEvent e) {
  std::lock_guard lock(mutex_);
  set_[e] = false;
}

bool ResponseEvents::is_set(ResponseEvent e) const {
  std::lock_guard lock(mutex_);
  return set_[e];
}

bool ResponseEvents::wait(ResponseEvent e, int64_t ms) {
  ProgressWait waiting(ms);
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, clock().real_duration(ms), [&] { return set_[e] || failing_; });
  return set_[e];
}

int ResponseEvents::wait_either(ResponseEvent first, ResponseEvent second, int64_t ms) {
  ProgressWait waiting(ms);
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, clock().real_duration(ms), [&] { return set_[first] || set_[second] || failing_; });
  if (set_[first]) return 0;
  if (set_[second]) return 1;
  return -1;
}

void ResponseEvents::stop_waiting() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

void ResponseEvents::fail_waits() {
  {
    std::lock_guard lock(mutex_);
    failing_ = true;
  }
  changed_.notify_all();
}

void ResponseEvents::resume_waits() {
  std::lock_guard lock(mutex_);
  failing_ = false;
}

int ResponseEvents::wait_unless_stopping(ResponseEvent e, int64_t ms) {
  ProgressWait waiting(ms);
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, clock().real_duration(ms), [&] { return set_[e] || stopping_ || failing_; });
  if (set_[e]) return 0;
  if (stopping_) return 1;
  return -1;
}

}  // namespace qz
