#include "core/clock.h"
#include "core/worker_progress.h"

#include <atomic>
#include <thread>

namespace qz {

namespace {
RealClock real_clock;
std::atomic<Clock*> current_clock{&real_clock};
}  // namespace

Clock& clock() { return *current_clock.load(std::memory_order_acquire); }

void set_clock(Clock* c) { current_clock.store(c ? c : &real_clock, std::memory_order_release); }

std::chrono::system_clock::time_point RealClock::now() { return std::chrono::system_clock::now(); }

int64_t RealClock::steady_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void RealClock::sleep_ms(int64_t ms) {
  ProgressWait waiting(ms);
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::chrono::nanoseconds RealClock::real_duration(int64_t ms) {
  return std::chrono::milliseconds(ms < 0 ? 0 : ms);
}

ScaledClock::ScaledClock(double speedup)
    : speedup_(speedup > 0 ? speedup : 1.0),
      wall_start_(std::chrono::system_clock::now()),
      steady_start_(std::chrono::steady_clock::now()) {}

std::chrono::system_clock::time_point ScaledClock::now() {
  auto real = std::chrono::steady_clock::now() - steady_start_;
  auto scaled = std::chrono::duration_cast<std::chrono::system_clock::duration>(real * speedup_);
  return wall_start_ + scaled;
}

int64_t ScaledClock::steady_ms() {
  auto real = std::chrono::steady_clock::now() - steady_start_;
  return static_cast<int64_t>(std::chrono::duration<double, std::milli>(real).count() * speedup_);
}

void ScaledClock::sleep_ms(int64_t ms) {
  ProgressWait waiting(ms);
  if (ms > 0) std::this_thread::sleep_for(real_duration(ms));
}

std::chrono::nanoseconds ScaledClock::real_duration(int64_t ms) {
  if (ms <= 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<int64_t>(ms * 1e6 / speedup_));
}

}  // namespace qz
