// The status file: what a running gateway says about itself for monitoring, in its
// instance folder as "qzgsms-status" (no job file mask or profile name fits it). One
// "key=value" line each (see qzgsmsd(8)); the front end's own thread replaces it every
// few seconds of the gateway clock and at the start and stop, the way every file of the
// gateway is replaced (replace_file in core/files.h): a reader never sees it half
// written, and nothing planted in the folder (a link, a FIFO) is followed or opened.
#pragma once

#include <cstdint>
#include <filesystem>

namespace qz {

class Gateway;

inline constexpr const char* kStatusFileName = "qzgsms-status";
// Gateway milliseconds between two writes.
inline constexpr int64_t kStatusEveryMs = 5000;
// A gateway counts a job as late once it waited this long beyond its tries' retry delays
// (each try's own modem waits, a voice call's rings included, fit in it).
inline constexpr int64_t kJobLateMarginSeconds = 300;

struct Settings;
// The age beyond which a job is late under these settings.
int64_t job_late_after_seconds(const Settings& settings);

class StatusFileWriter {
 public:
  // `pid`: the gateway's process, as the instance lock names it.
  explicit StatusFileWriter(long pid) : pid_(pid) {}

  // Writes now. `stopped`: the gateway has stopped in order (its last write).
  void write(Gateway& gateway, bool stopped = false);
  // Writes when kStatusEveryMs have passed since the last write, or at once when the
  // modem went down or came up since; cheap otherwise.
  void write_when_due(Gateway& gateway);
  // How long a front end may wait (real milliseconds) before the next write is due.
  int wait_ms() const;

 private:
  long pid_;
  int64_t next_due_ms_ = 0;
  bool modem_up_written_ = false;
  bool failure_said_ = false;
};

}  // namespace qz
