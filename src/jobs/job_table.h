// The jobs in progress, between the reading of their file and their report. Slot i is
// also job cell i of the window. Three threads share it: the job reader adds, the
// processing thread sends and marks Done, the report thread reports and frees.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "core/event.h"
#include "jobs/alarm_job.h"

namespace qz {

class GatewayLog;

inline constexpr int MAX_JOBS = 1024;
// One job per job cell of the window.
inline constexpr int JobLimit = 30;

// The telephone a job cell shows, by the image index the window knows them by.
enum JobCellImage : int {
  kCellFree = 0,             // grey: no job in the slot
  kCellSent = 1,             // green: sent, until the slot is freed
  kCellSending = 2,          // blue: an attempt is under way
  kCellWaitingForRetry = 3,  // yellow: the label says when the next try starts
  kCellFailed = 4,           // red: the last try failed, until the job is reported
};

struct JobCell {
  int image = kCellFree;
  std::string label;
};

class JobTable {
 public:
  explicit JobTable(GatewayLog& log);

  // Stores a copy in the lowest free slot (SentTime 0 unless the job is done already)
  // and returns the slot, or -1.
  int new_alarm(const AlarmJob& job);
  // Releases the slot's job, logs it and clears its cell; nothing for an empty slot.
  void free_alarm(int slot);
  // Whether an equal job (by the duplicate rule) is already in the table.
  bool is_alarm_queued(const AlarmJob& job);
  // Stores a cell's look and tells the window (notification slot + 1).
  void show_job_cell(int slot, int image, std::string text);

  JobCell job_cell(int slot) const;
  int count() const { return count_.load(std::memory_order_acquire); }

  // The job has its outcome and goes to the report thread. Called with JobTableLock held,
  // as the processing thread's last access to the job.
  void mark_done(AlarmJob& job);
  // The processing thread's pause between passes, cut short when a job is added (also
  // one added while the pass ran) or the waits are stopped.
  void wait_for_new_job(int64_t ms);
  // The report thread's pause between passes, cut short when a job is done (also one done
  // while the pass ran) or the waits are stopped.
  void wait_for_done_job(int64_t ms);
  // Jobs waiting for a retry are due at once (their tries still count), and the
  // processing thread is woken: what failed for a reason now gone is not held back.
  void retry_now();
  // The gateway stops: every wait above ends at once, and so does every later one.
  void stop_waiting();

  // The processing thread has ended: no job becomes Done any more, so the report
  // thread's last pass finds every finished job.
  void processing_ended() { processing_ended_.set(); }
  bool wait_processing_ended(int64_t ms) { return processing_ended_.wait_ms(ms); }

  // Guards the slots and every field the processing thread changes.
  std::mutex JobTableLock;
  // Slot i holds the job shown in cell i (empty: nullptr).
  std::array<std::unique_ptr<AlarmJob>, MAX_JOBS> jobs_by_slot;

 private:
  GatewayLog& log_;
  std::atomic<int> count_{0};
  AutoResetEvent job_added_;
  AutoResetEvent job_done_;
  ManualResetEvent processing_ended_;
  mutable std::mutex cells_mutex_;
  std::array<JobCell, JobLimit> cells_;
};

}  // namespace qz
