#include <chrono>
#include <cstdio>
#include <mutex>

#include "core/clock.h"
#include "core/colours.h"
#include "core/gateway.h"
#include "core/paths.h"
#include "jobs/job_threads.h"
#include "modem/mms_sender.h"
#include "modem/sms.h"
#include "modem/voice_call.h"

namespace qz {

namespace {

int64_t now_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
}

std::string format(const char* pattern, const char* a, const char* b = "") {
  char line[2200];
  std::snprintf(line, sizeof line, pattern, a, b);
  return line;
}

// One attempt, no retry. Called and returns with the table lock held.
void send_mini_message(Gateway& g, int slot, AlarmJob& job, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  std::string cell = job.Message.size() > 16
                         ? format("sending '%16.16s (...)' to %s", job.Message.c_str(), job.Name.c_str())
                         : format("sending '%s' to %s", job.Message.c_str(), job.Name.c_str());
  g.jobs.show_job_cell(slot, 2, cell);
  job.SentTime = now_seconds();

  std::string line;
  if (send_sms(g, job.PhoneNumber, job.Message, job.Flash) < 0) {
    line = format("ERROR sending to %s", job.PhoneNumber.c_str());
    g.log.PostWindowLine(nullptr, line, kRed);
    job.Status = JOB_FAILED;
  } else {
    line = format("Message sent to %s", job.PhoneNumber.c_str());
    g.log.PostWindowLine(nullptr, line, kGreen);
    job.Status = JOB_SENT;
  }
  g.log.WriteDailyLog(line);
  g.journal.record_outcome(job);
  lock.lock();
  job.Done = 1;
}

// Called and returns with the table lock held; releases it around the send.
void send_alarm_job(Gateway& g, int slot, AlarmJob& job, std::unique_lock<std::mutex>& lock) {
  if (now_seconds() < job.NextTryTime) return;
  lock.unlock();
  g.jobs.show_job_cell(slot, 2, format("sending alarm %s to %s", job.AlarmKey.c_str(), job.Name.c_str()));
  job.SentTime = now_seconds();

  const Settings& s = g.settings;
  int result;
  const char* failure_pattern;
  const char* success_pattern;
  if (job.ContentType == "SMS") {
    result = send_sms(g, job.PhoneNumber, job.Message, job.Flash);
    failure_pattern = "ERROR sending to %s (try %d/%d)";
    success_pattern = "Message sent to %s";
  } else if (job.ContentType.compare(0, 11, "application") == 0) {
    MmsFileList files;
    // Job files name their parts the Windows way, like the folder settings.
    for (int i = 0; i < AlarmJob::kFileSlots; ++i) {
      if (!job.Files[i].empty()) files[i] = folder_from_setting(g.folder, job.Files[i]).string();
    }
    result = send_mms(g, job.PhoneNumber, files, job.Subject, job.Message);
    failure_pattern = "ERROR sending to %s (try %d/%d)";
    success_pattern = "Message sent to %s";
  } else if (job.ContentType == "VC") {
    result = voice_call(g, job.PhoneNumber);
    failure_pattern = "ERROR calling %s (try %d/%d)";
    success_pattern = "Voice call done to %s";
  } else {
    std::string line = format("ContentType %s unknown", job.ContentType.c_str());
    g.log.PostWindowLine(nullptr, line, kRed);
    g.log.WriteDailyLog(line);
    g.journal.record_outcome(job);
    lock.lock();
    job.Done = 1;
    return;
  }

  char line[256];
  if (result >= 0) {
    std::snprintf(line, sizeof line, success_pattern, job.PhoneNumber.c_str());
    g.log.PostWindowLine(nullptr, line, kGreen);
    job.Status = JOB_SENT;
  } else {
    ++job.TryCount;
    if (job.TryCount < s.RetryCount) {
      job.SentTime = 0;
      job.NextTryTime = now_seconds() + s.RetryDelay;
    } else {
      job.Status = JOB_FAILED;
    }
    std::snprintf(line, sizeof line, failure_pattern, job.PhoneNumber.c_str(), job.TryCount,
                  s.RetryCount);
    g.log.PostWindowLine(nullptr, line, kRed);
  }
  g.log.WriteDailyLog(line);
  // Made durable before the job is handed on: after a crash from here on, the job file
  // is reported from the journal and not sent again.
  if (job.SentTime != 0) g.journal.record_outcome(job);
  lock.lock();
  if (job.SentTime != 0) job.Done = 1;
}

}  // namespace

void ProcessingThread(Gateway& g) {
  while (!g.stopping()) {
    {
      std::unique_lock lock(g.jobs.JobTableLock);
      for (int slot = 0; slot < MAX_JOBS && !g.stopping(); ++slot) {
        AlarmJob* job = g.jobs.slots[slot].get();
        if (job == nullptr || job->Done != 0 || job->SentTime != 0) continue;
        // While the lock is released, this thread owns the job: nobody else frees it
        // before Done is set.
        if (job->IsMiniMessage != 0) send_mini_message(g, slot, *job, lock);
        else send_alarm_job(g, slot, *job, lock);
      }
    }
    g.jobs.wait_for_new_job(500);
  }
  // A stop never cuts an attempt short: the loop ends only between attempts.
  g.jobs.processing_ended();
}

}  // namespace qz
