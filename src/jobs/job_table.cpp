#include "jobs/job_table.h"

#include <chrono>
#include <cstdio>
#include <new>

#include "core/clock.h"
#include "core/gateway_log.h"

namespace qz {

JobTable::JobTable(GatewayLog& log) : log_(log) {}

int JobTable::new_alarm(const AlarmJob& job) {
  std::unique_ptr<AlarmJob> record(new (std::nothrow) AlarmJob(job));
  if (!record) {
    log_.WriteDailyLog("** new_alarm ** ERROR: Out of memory");
    return -1;
  }
  // A job restored from the journal is done already and keeps the time of its send.
  if (record->Done == 0) record->SentTime = 0;
  record->AdmittedTime =
      std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
  {
    std::lock_guard lock(JobTableLock);
    for (int slot = 0; slot < MAX_JOBS; ++slot) {
      if (!jobs_by_slot[slot]) {
        jobs_by_slot[slot] = std::move(record);
        count_.fetch_add(1, std::memory_order_acq_rel);
        // A job restored from the journal is only reported.
        if (jobs_by_slot[slot]->Done != 0) job_done_.set();
        else job_added_.set();
        return slot;
      }
    }
  }
  char line[80];
  std::snprintf(line, sizeof line, "** new_alarm ** ERROR: jobs overflow (>%d)", MAX_JOBS);
  log_.WriteDailyLog(line);
  return -1;
}

void JobTable::free_alarm(int slot) {
  if (slot < 0 || slot >= MAX_JOBS) return;
  {
    std::lock_guard lock(JobTableLock);
    if (!jobs_by_slot[slot]) return;
    jobs_by_slot[slot].reset();
    count_.fetch_sub(1, std::memory_order_acq_rel);
  }
  char line[64];
  std::snprintf(line, sizeof line, "** free_alarm ** job %d freed", slot);
  log_.WriteDailyLog(line);
  show_job_cell(slot, kCellFree, "");
}

bool JobTable::is_alarm_queued(const AlarmJob& job) {
  std::lock_guard lock(JobTableLock);
  for (const auto& queued : jobs_by_slot) {
    if (queued && queued->Szenario == job.Szenario && queued->PhoneNumber == job.PhoneNumber &&
        queued->Name == job.Name && queued->Message == job.Message &&
        queued->AlarmKey == job.AlarmKey && queued->dbentry == job.dbentry &&
        queued->Rings == job.Rings && queued->ConfirmType == job.ConfirmType &&
        queued->SendConfirmAck == job.SendConfirmAck) {
      return true;
    }
  }
  return false;
}

void JobTable::show_job_cell(int slot, int image, std::string text) {
  // Only the first JobLimit slots have a cell; the table never holds more jobs.
  if (slot < 0 || slot >= JobLimit) return;
  {
    std::lock_guard lock(cells_mutex_);
    if (text.size() > 255) text.resize(255);
    cells_[slot] = JobCell{image, std::move(text)};
  }
  log_.notify_window(slot + 1);
}

void JobTable::mark_done(AlarmJob& job) {
  job.Done = 1;
  job_done_.set();
}

void JobTable::wait_for_new_job(int64_t ms) { job_added_.wait_ms(ms); }

void JobTable::wait_for_done_job(int64_t ms) { job_done_.wait_ms(ms); }

void JobTable::retry_now() {
  {
    std::lock_guard lock(JobTableLock);
    for (auto& job : jobs_by_slot) {
      if (job && job->Done == 0 && job->SentTime == 0) job->NextTryTime = 0;
    }
  }
  job_added_.set();
}

void JobTable::stop_waiting() {
  job_added_.close();
  job_done_.close();
}

JobCell JobTable::job_cell(int slot) const {
  std::lock_guard lock(cells_mutex_);
  if (slot < 0 || slot >= JobLimit) return {};
  return cells_[slot];
}

}  // namespace qz
