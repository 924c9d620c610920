// The gateway's worker threads and the one stop they share. A worker sleeps through
// sleep_ms, which returns early once a stop is asked for, and looks at stopping()
// between its steps; it is never interrupted in the middle of one.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/event.h"
#include "core/worker_progress.h"

namespace qz {

class Workers {
 public:
  Workers() = default;
  // Stops and joins what still runs (the gateway process itself ends before; tests get here).
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Starts `body` on a thread of its own, with a progress entry named `name`; false once a
  // stop has been asked for.
  bool start(std::function<void()> body, std::string name = "worker");

  // Asks every worker to stop and waits up to `limit_ms` gateway milliseconds for all of
  // them to end. True when they all ended; they are joined then.
  bool stop(int64_t limit_ms);
  // `wake` ends the waits of a worker that waits on something else than sleep_ms; the
  // first stop() calls it (at once when the stop came before).
  void on_stop(std::function<void()> wake);
  bool stopping() const { return stop_event_.is_set(); }
  // Sleeps `ms` gateway milliseconds; returns early (false) once a stop is asked for.
  bool sleep_ms(int64_t ms) { return !stop_event_.wait_ms(ms); }

  // What each worker is doing (worker_progress.h).
  const WorkerProgress& progress() const { return progress_; }

 private:
  ManualResetEvent stop_event_;
  std::mutex mutex_;
  std::condition_variable ended_;
  int running_ = 0;
  std::vector<std::thread> threads_;
  std::vector<std::function<void()>> wakes_;
  WorkerProgress progress_;
};

}  // namespace qz
