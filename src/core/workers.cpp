#include "core/workers.h"

#include "core/clock.h"

namespace qz {

Workers::~Workers() {
  stop(600000);
  for (auto& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

bool Workers::start(std::function<void()> body, std::string name) {
  std::lock_guard lock(mutex_);
  if (stopping()) return false;
  ++running_;
  threads_.emplace_back([this, body = std::move(body), name = std::move(name)] {
    progress_.enter(name);
    body();
    mark_ended();
    std::lock_guard ended(mutex_);
    --running_;
    ended_.notify_all();
  });
  return true;
}

void Workers::on_stop(std::function<void()> wake) {
  {
    std::lock_guard lock(mutex_);
    if (!stopping()) {
      wakes_.push_back(std::move(wake));
      return;
    }
  }
  wake();  // the stop came first
}

bool Workers::stop(int64_t limit_ms) {
  std::vector<std::function<void()>> wakes;
  {
    std::lock_guard lock(mutex_);
    stop_event_.set();
    wakes.swap(wakes_);  // once: the first stop wakes every wait for good
  }
  for (const auto& wake : wakes) wake();
  std::vector<std::thread> ended;
  {
    std::unique_lock lock(mutex_);
    if (!ended_.wait_for(lock, clock().real_duration(limit_ms), [this] { return running_ == 0; })) {
      return false;
    }
    ended.swap(threads_);
  }
  // Every body has returned, so the joins are immediate; a process that ends right after
  // leaves no finished thread behind that nobody took back.
  for (auto& thread : ended) thread.join();
  return true;
}

}  // namespace qz
