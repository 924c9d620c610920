#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "core/paths.h"
#include "core/utf8.h"
#include "core/worker_progress.h"
#include "jobs/job_context.h"
#include "jobs/job_threads.h"
#include "modem/mms_sender.h"
#include "modem/sms.h"
#include "modem/voice_call.h"

namespace qz {

namespace {

// How long an idle processing thread waits before it looks at the table again, although
// nothing woke it: a job is added or retried only through the table's wake-ups.
constexpr int64_t kIdleWaitMs = 60000;

int64_t now_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count();
}

// Gateway milliseconds from now until a retry at `due` (seconds since 1970) is due, which
// is when now_seconds() reaches it.
int64_t until_due_ms(int64_t due) {
  int64_t now_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock().now().time_since_epoch()).count();
  return std::clamp<int64_t>(due * 1000 - now_ms, 0, kIdleWaitMs);
}

std::string format(const char* pattern, const char* a, const char* b = "") {
  char line[2200];
  std::snprintf(line, sizeof line, pattern, a, b);
  return line;
}

// What a job's cell shows once an attempt has ended, so an operator tells at a glance a
// job that waits for its next try (with the time of that try), one that failed and one
// that went out. `what` names the job, as its sending line does.
void show_outcome_cell(JobContext& ctx, int slot, const AlarmJob& job, const std::string& what) {
  if (job.Status == JOB_SENT) {
    ctx.jobs.show_job_cell(slot, kCellSent, "sent " + what);
  } else if (job.SentTime == 0) {
    const LocalTime at = local_time(std::chrono::system_clock::time_point(std::chrono::seconds(job.NextTryTime)));
    char when[16];
    std::snprintf(when, sizeof when, "%02d:%02d:%02d", at.hour, at.minute, at.second);
    ctx.jobs.show_job_cell(slot, kCellWaitingForRetry, "next try " + std::string(when) + " " + what);
  } else {
    ctx.jobs.show_job_cell(slot, kCellFailed, "failed " + what);
  }
}

// The first 16 bytes of a long job text, for its cell and log line. A UTF-8 text is cut
// before a character that would not fit whole, so no half character reaches the window.
std::string message_head(const AlarmJob& job) {
  return job.Message.substr(0, job.MessageIsUtf8 ? utf8_cut(job.Message, 16) : 16);
}

TextCoding message_coding(const AlarmJob& job) {
  return job.MessageIsUtf8 ? TextCoding::kUtf8 : TextCoding::kLatin1;
}

// One attempt, no retry. Called and returns with the table lock held.
void send_mini_message(JobContext& ctx, int slot, AlarmJob& job, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  const std::string what = job.Message.size() > 16
                               ? format("'%s (...)' to %s", message_head(job).c_str(), job.Name.c_str())
                               : format("'%s' to %s", job.Message.c_str(), job.Name.c_str());
  ctx.jobs.show_job_cell(slot, kCellSending, "sending " + what);
  job.SentTime = now_seconds();

  std::string line;
  if (send_sms(ctx.link, job.PhoneNumber, job.Message, job.Flash, message_coding(job), &job.ConcatenationReference) < 0) {
    line = format("ERROR sending to %s", job.PhoneNumber.c_str());
    ctx.log.PostWindowLine(nullptr, line, kRed);
    job.Status = JOB_FAILED;
    ++ctx.link.status.failed;
    ctx.link.status.record_send(job.SentTime, job.PhoneNumber, "failed");
  } else {
    line = format("Message sent to %s", job.PhoneNumber.c_str());
    ctx.log.PostWindowLine(nullptr, line, kGreen);
    job.Status = JOB_SENT;
    ++ctx.link.status.sent;
    ctx.link.status.record_send(job.SentTime, job.PhoneNumber, "sent");
  }
  ctx.log.WriteDailyLog(line);
  ctx.journal.record_outcome(job);
  show_outcome_cell(ctx, slot, job, what);
  lock.lock();
  ctx.jobs.mark_done(job);
}

// Called and returns with the table lock held; releases it around the send.
void send_alarm_job(JobContext& ctx, int slot, AlarmJob& job, std::unique_lock<std::mutex>& lock) {
  if (now_seconds() < job.NextTryTime) return;
  lock.unlock();
  // A job file need not name an alarm key: then there is none to show.
  const std::string what = job.AlarmKey.empty() ? format("alarm to %s", job.Name.c_str())
                                                : format("alarm %s to %s", job.AlarmKey.c_str(), job.Name.c_str());
  ctx.jobs.show_job_cell(slot, kCellSending, "sending " + what);
  job.SentTime = now_seconds();

  const Settings& s = ctx.settings;
  int result;
  const char* failure_pattern;
  const char* success_pattern;
  if (job.ContentType == "SMS") {
    result = send_sms(ctx.link, job.PhoneNumber, job.Message, job.Flash, message_coding(job),
                      &job.ConcatenationReference);
    failure_pattern = "ERROR sending to %s (try %d/%d)";
    success_pattern = "Message sent to %s";
  } else if (job.ContentType.compare(0, 11, "application") == 0) {
    MmsFileList files;
    // Job files name their parts the Windows way, like the folder settings.
    for (int i = 0; i < AlarmJob::kFileSlots; ++i) {
      if (!job.Files[i].empty()) files[i] = folder_from_setting(ctx.folder, job.Files[i]).string();
    }
    result = send_mms(ctx.link, job.PhoneNumber, files, job.Subject, job.Message);
    failure_pattern = "ERROR sending to %s (try %d/%d)";
    success_pattern = "Message sent to %s";
  } else if (job.ContentType == "VC") {
    result = voice_call(ctx.link, job.PhoneNumber);
    failure_pattern = "ERROR calling %s (try %d/%d)";
    success_pattern = "Voice call done to %s";
  } else {
    std::string line = format("ContentType %s unknown", job.ContentType.c_str());
    ctx.log.PostWindowLine(nullptr, line, kRed);
    ctx.log.WriteDailyLog(line);
    ++ctx.link.status.failed;
    ctx.journal.record_outcome(job);
    show_outcome_cell(ctx, slot, job, what);
    lock.lock();
    ctx.jobs.mark_done(job);
    return;
  }

  char line[256];
  const int64_t tried_at = job.SentTime;
  if (result >= 0) {
    std::snprintf(line, sizeof line, success_pattern, job.PhoneNumber.c_str());
    ctx.log.PostWindowLine(nullptr, line, kGreen);
    job.Status = JOB_SENT;
    ++ctx.link.status.sent;
    ctx.link.status.record_send(tried_at, job.PhoneNumber, "sent");
  } else {
    ++job.TryCount;
    const std::string tries = std::to_string(job.TryCount) + "/" + std::to_string(s.RetryCount);
    if (job.TryCount < s.RetryCount) {
      job.SentTime = 0;
      job.NextTryTime = now_seconds() + s.RetryDelay;
      ++ctx.link.status.retried;
      ctx.link.status.record_send(tried_at, job.PhoneNumber, "failed, retrying (try " + tries + ")");
    } else {
      job.Status = JOB_FAILED;
      ++ctx.link.status.failed;
      ctx.link.status.record_send(tried_at, job.PhoneNumber, "failed (try " + tries + ")");
    }
    std::snprintf(line, sizeof line, failure_pattern, job.PhoneNumber.c_str(), job.TryCount,
                  s.RetryCount);
    ctx.log.PostWindowLine(nullptr, line, kRed);
  }
  ctx.log.WriteDailyLog(line);
  // Made durable before the job is handed on: after a crash from here on, the job file
  // is reported from the journal and not sent again.
  if (job.SentTime != 0) ctx.journal.record_outcome(job);
  show_outcome_cell(ctx, slot, job, what);
  lock.lock();
  if (job.SentTime != 0) ctx.jobs.mark_done(job);
}

}  // namespace

void ProcessingThread(JobContext& ctx) {
  while (!ctx.stopping()) {
    mark_progress();
    // The earliest time a job waiting for its retry is due, in seconds since 1970.
    int64_t next_retry = 0;
    {
      std::unique_lock lock(ctx.jobs.JobTableLock);
      for (int slot = 0; slot < MAX_JOBS && !ctx.stopping(); ++slot) {
        AlarmJob* job = ctx.jobs.jobs_by_slot[slot].get();
        if (job == nullptr || job->Done != 0 || job->SentTime != 0) continue;
        // While the lock is released, this thread owns the job: nobody else frees it
        // before Done is set.
        if (job->IsMiniMessage != 0) send_mini_message(ctx, slot, *job, lock);
        else send_alarm_job(ctx, slot, *job, lock);
        if (job->Done == 0 && job->SentTime == 0 && (next_retry == 0 || job->NextTryTime < next_retry)) {
          next_retry = job->NextTryTime;
        }
      }
    }
    ctx.jobs.wait_for_new_job(next_retry == 0 ? kIdleWaitMs : until_due_ms(next_retry));
  }
  // A stop never cuts an attempt short: the loop ends only between attempts.
  ctx.jobs.processing_ended();
}

}  // namespace qz
