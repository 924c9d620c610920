// The operating system's requests that the gateway stop: SIGTERM, SIGINT, SIGHUP and SIGQUIT
// on Linux; Ctrl+C, Ctrl+Break, the console closed, log-off and shutdown on Windows. Once
// taken they no longer end the process: each one is held here until the program takes it
// and stops in order (orderly_stop.h). A command that ends early (SIGPIPE) never takes the
// gateway with it either.
#pragma once

#include <cstdint>

namespace qz {

class StopSignals {
 public:
  // Takes the stop signals for the whole process, for its whole life. Call once, before
  // any thread starts: on Linux the threads started later inherit the blocking.
  static StopSignals take();

  StopSignals(StopSignals&& other) noexcept;
  StopSignals& operator=(StopSignals&& other) noexcept;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  ~StopSignals();

  // Whether a stop signal has arrived; takes one of them. Never waits.
  bool take_one();

  // Ready while a stop signal waits to be taken: a readable descriptor (Linux, signalfd;
  // for poll or a QSocketNotifier), an event handle (Windows). -1 when the signals could
  // not be taken.
  intptr_t native_handle() const { return handle_; }

 private:
  explicit StopSignals(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = -1;
};

}  // namespace qz
