#include "support/test_clock.h"

#include <ctime>

namespace qz::test {

FixedWallClock::FixedWallClock() : now_(std::chrono::system_clock::now()) { set_clock(this); }

FixedWallClock::~FixedWallClock() { set_clock(nullptr); }

void FixedWallClock::set_local(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  std::lock_guard lock(mutex_);
  now_ = std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

std::chrono::system_clock::time_point FixedWallClock::now() {
  std::lock_guard lock(mutex_);
  return now_;
}

FastClock::FastClock(double speedup) : clock_(speedup) { set_clock(&clock_); }

FastClock::~FastClock() { set_clock(nullptr); }

}  // namespace qz::test
