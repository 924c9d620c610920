// How worker threads tell the front end that something changed. They pass a number only
// (0 a window-log line waits, 1-30 a job cell changed, 99 a new signal level) and the
// front end reads the shared tables on its own thread.
#pragma once

namespace qz {

enum WindowNotification : int {
  kNotifyLogLine = 0,
  kNotifySignal = 99,
};

class WindowSink {
 public:
  virtual ~WindowSink() = default;
  // Must not block: it is called from worker threads.
  virtual void notify(int number) = 0;
};

}  // namespace qz
