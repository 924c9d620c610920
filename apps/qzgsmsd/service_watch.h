// What qzgsmsd tells its service manager (core/service_manager.h): systemd when it runs as
// a Type=notify service, the Windows Service Control Manager when it runs as a service there.
//
//   READY=1      once the modem dialogue has succeeded and the worker threads run (Windows:
//                RUNNING; before it, START_PENDING with a new checkpoint at every tick)
//   STATUS=...   one line: signal, registration, jobs in progress, the last result; sent
//                when it changes, at most once a second
//   WATCHDOG=1   every half WatchdogSec, but only while every worker thread shows
//                progress (core/worker_progress.h): a worker stuck past its own limit
//                stops the pings, and systemd restarts the gateway
//   STOPPING=1   at the start of an orderly stop (Windows: STOP_PENDING, with checkpoints)
//   every printed line, of which Windows writes the red ones into the event log
//
// Everything runs on the main loop's thread: it calls tick() whenever it wakes, and wakes
// at least every timeout_ms(). Without a service manager listening nothing is sent and the
// loop may sleep as long as it likes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/colors.h"

namespace qz {
class Gateway;
}

class ServiceWatch {
 public:
  explicit ServiceWatch(qz::Gateway& gateway);

  // The longest the main loop may wait before the next tick; -1: as long as it likes.
  int timeout_ms() const;

  // The start succeeded: the worker threads run.
  void started();
  // A window-log line was printed: a send's result (green) or a failure (red) is the
  // last result of the summary.
  void line_printed(const std::string& line, qz::Color color);
  // The signal thread has read the signal level.
  void signal_read() { signal_read_ = true; }
  // An orderly stop begins.
  void stopping();

  // Sends what is due. Returns a line to print in red when a worker has just been found
  // stuck (the pings stop from then on), or an ordinary line when all workers show
  // progress again.
  struct Notice {
    std::string text;
    qz::Color color;
  };
  std::optional<Notice> tick();

 private:
  using Steady = std::chrono::steady_clock;
  std::string summary() const;

  qz::Gateway& gateway_;
  const bool listening_;
  const std::chrono::milliseconds ping_period_;  // zero: no watchdog
  bool started_ = false;
  bool stopping_ = false;
  bool signal_read_ = false;
  std::string last_result_;
  std::string stuck_;  // the workers found stuck, as the summary names them
  std::string status_sent_;
  Steady::time_point status_sent_at_{};
  Steady::time_point pinged_at_{};
};
