// A manual-reset event: once set it stays set, and every waiter passes, until reset.
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

}  // namespace qz
