// What the worker threads are doing, for whoever watches over a running gateway (the
// service manager's watchdog, a status report).
//
// Each worker thread has a board entry of its own (Workers::start makes it). The worker
// marks progress at the top of its loop; every timed wait of the gateway (a modem reply,
// a sleep, the folder watch) says on entry how long it may last and marks progress again
// when it returns; a worker blocked behind another one (waiting for the modem) has no
// time limit of its own, since the one it waits for has. A worker is overdue when it has
// not marked progress by the time it promised plus kProgressGraceMs: it is stuck (in the
// system, in a wait that does not end) and the gateway cannot be trusted to send.
//
// Marks are cheap (atomics, no lock) and do nothing on a thread without an entry (the main
// thread, the start-up, tests calling a service directly). Times are gateway steady
// milliseconds (clock().steady_ms()).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace qz {

// How long a worker may work between two marks, and how late a wait may return.
inline constexpr int64_t kProgressGraceMs = 60000;

class WorkerProgress {
 public:
  enum class Doing { kWorking, kWaiting, kWaitingForOther, kEnded };

  struct Entry {
    std::string worker;  // "ReportThread", ...
    Doing doing;
    int64_t marked_ms;  // the latest mark
    int64_t due_ms;     // the next mark is due by then (kNever: no limit of its own)
  };
  static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

  // Gives the calling thread an entry named `worker`, for the marks below.
  void enter(std::string worker);

  // Every entry as it is now.
  std::vector<Entry> snapshot() const;
  // The workers overdue at `now_ms` (see above); empty while all show progress.
  std::vector<std::string> overdue(int64_t now_ms) const;

  // One worker's entry as the marks write it; read it through snapshot().
  struct Slot {
    std::string worker;
    std::atomic<int> doing{0};
    std::atomic<int64_t> marked_ms{0};
    std::atomic<int64_t> due_ms{kNever};
  };

 private:
  mutable std::mutex mutex_;  // guards the list, not the entries' fields
  std::deque<Slot> slots_;    // stable addresses
};

// The calling worker makes progress: it is working and marks again within kProgressGraceMs.
void mark_progress();
// The calling worker has ended; it is never overdue.
void mark_ended();

// For the length of a wait of `ms` gateway milliseconds: the worker waits, and is due when
// the wait ends plus kProgressGraceMs. Marks progress again when it goes out of scope.
class ProgressWait {
 public:
  explicit ProgressWait(int64_t ms);
  ~ProgressWait();
  ProgressWait(const ProgressWait&) = delete;
  ProgressWait& operator=(const ProgressWait&) = delete;
};

// A mutex whose waiters count as waiting for the holder, with no limit of their own: the
// modem lock, which a worker may hold through a whole call or MMS.
class ProgressMutex {
 public:
  void lock();
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

}  // namespace qz
