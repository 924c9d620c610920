// Events that threads wait on through the gateway clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qz {

class ManualResetEvent {
 public:
  void set();
  void reset();
  bool is_set() const;
  // Waits up to `ms` gateway milliseconds (through the clock); true when set.
  bool wait_ms(int64_t ms);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// A wake-up call for one waiting thread. A set() that comes while nobody waits is kept
// for the next wait, so a thread that checks its work and then waits never sleeps through
// work that arrived in between; the wait that returns takes the call away. close() ends
// every wait at once, now and later: the waiting thread is to stop.
class AutoResetEvent {
 public:
  void set();
  void close();
  // Waits up to `ms` gateway milliseconds (through the clock); true when set or closed.
  bool wait_ms(int64_t ms);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
  bool closed_ = false;
};

}  // namespace qz
