// The one clock of the gateway. Every sleep, timed wait and reading of the time goes
// through it, so tests can run a 120 s retry delay in a fraction of a second while
// the order of events stays the same.
#pragma once

#include <chrono>
#include <cstdint>

namespace qz {

class Clock {
 public:
  virtual ~Clock() = default;

  // Wall-clock time: log stamps, file-name stamps, the technical-alarm hold-off.
  virtual std::chrono::system_clock::time_point now() = 0;
  // Milliseconds on a steady scale, for pacing and elapsed time.
  virtual int64_t steady_ms() = 0;
  // Sleeps `ms` gateway milliseconds.
  virtual void sleep_ms(int64_t ms) = 0;
  // The real duration that a timed wait of `ms` gateway milliseconds lasts.
  virtual std::chrono::nanoseconds real_duration(int64_t ms) = 0;
};

// Runs at the speed of the world.
class RealClock : public Clock {
 public:
  std::chrono::system_clock::time_point now() override;
  int64_t steady_ms() override;
  void sleep_ms(int64_t ms) override;
  std::chrono::nanoseconds real_duration(int64_t ms) override;
};

// Runs `speedup` times faster than the world, starting from the real time of its making.
class ScaledClock : public Clock {
 public:
  explicit ScaledClock(double speedup);
  std::chrono::system_clock::time_point now() override;
  int64_t steady_ms() override;
  void sleep_ms(int64_t ms) override;
  std::chrono::nanoseconds real_duration(int64_t ms) override;

 private:
  double speedup_;
  std::chrono::system_clock::time_point wall_start_;
  std::chrono::steady_clock::time_point steady_start_;
};

// The process-wide clock; a RealClock unless a test installs another.
Clock& clock();
// Installs `c` (which must outlive its use); nullptr goes back to the real clock.
void set_clock(Clock* c);

// Local calendar time of a clock reading, by the system's time zone rules (the platform's;
// safe from any thread).
struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime local_time(std::chrono::system_clock::time_point t);

}  // namespace qz
