// qzgsmsd --status: how the gateway of an instance folder is, from its status file
// (status_file.h) and, live, from who holds the instance folder's lock. It reads, and
// never takes the lock, opens the port or writes anything; of the status file it reads a
// few kilobytes at most, and only from a regular file (never through a link, never from
// a FIFO or a device), so it answers at once whatever lies there. The exit code follows
// the monitoring plugins' convention:
//
//   0 OK        running, modem up, signal at least kLowSignal, no late job
//   1 WARNING   low or unknown signal, not registered, a job older than its tries should take
//   2 CRITICAL  not running (no process holds the lock, or it stopped), modem down, or a
//               status older than kStaleSeconds (real time)
//   3 UNKNOWN   the status file cannot be read (or is no regular file of a status's
//               size) or makes no sense, or a running gateway wrote none
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qz {

inline constexpr int kStatusOk = 0;
inline constexpr int kStatusWarning = 1;
inline constexpr int kStatusCritical = 2;
inline constexpr int kStatusUnknown = 3;

// A signal under this (CSQ, 0 to 31; 0 also when unknown) is a warning.
inline constexpr int kLowSignal = 10;
// Three missed writes of a gateway on the real clock.
inline constexpr int64_t kStaleSeconds = 15;

struct StatusAnswer {
  int exit_code = kStatusUnknown;
  // "QZGSMS OK - signal 21, registered, 0 jobs, ... | sent=5 failed=0 ...", then detail lines.
  std::string text;
  // The same as one JSON object.
  std::string json;
};

StatusAnswer check_status(const std::filesystem::path& instance_folder);

}  // namespace qz
