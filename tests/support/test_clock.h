// Clocks for tests: one that shows a chosen wall time, one that runs fast. Both are
// installed for the lifetime of the object and removed afterwards.
#pragma once

#include <chrono>
#include <mutex>

#include "core/clock.h"

namespace qz::test {

// Shows the wall time set by the test; sleeps and waits run at real speed.
class FixedWallClock : public RealClock {
 public:
  FixedWallClock();
  ~FixedWallClock() override;
  // Local calendar time.
  void set_local(int year, int month, int day, int hour, int minute, int second);
  std::chrono::system_clock::time_point now() override;

 private:
  std::mutex mutex_;
  std::chrono::system_clock::time_point now_;
};

// The whole gateway runs `speedup` times faster while it exists.
class FastClock {
 public:
  explicit FastClock(double speedup = 100.0);
  ~FastClock();
  ScaledClock& clock() { return clock_; }

 private:
  ScaledClock clock_;
};

}  // namespace qz::test
