// What the main thread of the program without a window waits for: the workers'
// notifications (it plays the window's part and reads the shared tables when woken), a
// stop signal, the end of the orderly stop, or the time of its next chore. Workers only
// notify; a notification never blocks them. Linux waits in one poll() on a pipe, the stop
// signals' signalfd and an eventfd; Windows in one WaitForMultipleObjects on events.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/window_sink.h"
#include "gateway/stop_signals.h"

namespace qz {

class HeadlessWait : public WindowSink {
 public:
  // Takes the stop signals (stop_signals.h): construct it before any thread starts.
  HeadlessWait();
  ~HeadlessWait() override;
  HeadlessWait(const HeadlessWait&) = delete;
  HeadlessWait& operator=(const HeadlessWait&) = delete;

  // From any thread. When notifications come much faster than they are taken, some of
  // their numbers may be dropped, but the wake-up never is.
  void notify(int number) override;
  // The orderly stop has ended; from any thread.
  void stop_done();

  struct Woken {
    std::vector<unsigned char> notified;  // the numbers notified since the last wait
    bool stop_signal = false;             // a stop signal arrived (one is taken per wait)
    bool stop_done = false;               // stop_done() was called
  };
  // Returns when something above happened, at the latest after `timeout_ms` (then with
  // nothing in it).
  Woken wait(int64_t timeout_ms);

 private:
  struct Handles;
  StopSignals signals_;
  std::unique_ptr<Handles> handles_;
};

}  // namespace qz
