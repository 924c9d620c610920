#include <chrono>
#include <cstdio>
#include <vector>

#include "core/clock.h"
#include "core/colors.h"
#include "jobs/job_context.h"
#include "core/paths.h"
#include "core/profile_file.h"
#include "core/worker_progress.h"
#include "jobs/database.h"
#include "jobs/filing.h"
#include "jobs/job_threads.h"
#include "jobs/report_table.h"

namespace qz {

namespace {

// How long the last pass waits for the processing thread to finish its attempt.
constexpr int64_t kLastPassWaitMs = 600000;
// How long an idle report thread waits before it looks at the table again, although no
// job was marked done.
constexpr int64_t kIdleWaitMs = 60000;

std::string six_digit_time(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", t.hour, t.minute, t.second);
  return text;
}

void update_report_table(JobContext& ctx, const AlarmJob& job, const std::string& time) {
  if (!names_a_report_table(job.Szenario)) {
    ctx.log.Log("ERROR : scenario '" + job.Szenario + "' does not name a report table: not updated",
              kRed);
    return;
  }
  // Found without regard to case, as the alarm application's own platform finds it.
  std::filesystem::path table = resolve_name_in_folder(
      folder_from_setting(ctx.folder, ctx.settings.WatchLogPath), job.Szenario + ".dbf");
  // The line names the table and, in brackets, why it was not updated.
  auto failed = [&](const std::string& reason) {
    ctx.log.Log("ERROR : could not update " + table.string() + " (" + reason + ")", kRed);
  };

  CDatabase db(ctx.error_box);
  if (db.Open(table.string()) == 0) {
    failed(db.OpenFault());
    return;
  }
  const int64_t record = int64_t{job.dbentry} + 1;
  if (!write_job_result(db, record, job.Status, time)) {
    failed("row " + std::to_string(record) + " of " + std::to_string(db.RecCount()));
  }
  db.Close();
}

// The note in the encoding of the job file it is appended to: a UTF-16 file gets UTF-16
// code units, anything else the ASCII bytes.
std::string success_note(const LocalTime& t, const std::string& file_bytes) {
  char note[96];
  std::snprintf(note, sizeof note, "%d.%d.%d %d:%d ALARM successfully sent", t.year, t.month, t.day,
                t.hour, t.minute);
  bool little_endian = file_bytes.starts_with("\xFF\xFE");
  if (!little_endian && !file_bytes.starts_with("\xFE\xFF")) return note;
  std::string wide;
  for (const char* c = note; *c != '\0'; ++c) {
    wide += little_endian ? std::string{*c, '\0'} : std::string{'\0', *c};
  }
  return wide;
}

// Files the job file by its outcome: the bytes the job was read from (and the success
// note for a sent job) appear whole under the time-stamped name, then the job file leaves
// the watch folder, unless it was rewritten with a new alarm since it was read: that one
// stays and is read as a new job. True when the job file needs nothing more.
bool file_job(JobContext& ctx, const AlarmJob& job, uint32_t pass_time, const LocalTime& sent) {
  const Settings& s = ctx.settings;
  bool moved_by_outcome = s.MoveJobToDoneOrErrorPath != 0;
  // Nothing was sent for a job of unknown type: it belongs with the failures.
  const std::string& folder = !moved_by_outcome     ? s.WatchLogPath
                              : job.Status == JOB_SENT ? s.DonePath
                                                       : s.ErrorPath;
  if (folder.empty()) return false;

  std::filesystem::path from = path_from_text(job.JobFile);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%08X-", pass_time);
  std::string name = prefix + from.filename().string();
  std::string bytes = job.FileBytes;
  if (job.Status == JOB_SENT) bytes += success_note(sent, job.FileBytes);

  FilingResult filed = publish_file(
      folder_from_setting(ctx.folder, folder), name, bytes, 0644,
      [&](const std::filesystem::path& destination) {
        ctx.journal.record_destination(job.Identity, destination);
        ctx.filed_copies.note(destination, ctx.watch_folder());
      });
  if (!filed.ok) {
    std::string line = could_not_move_line(from, filed);
    ctx.log.WriteDailyLog(line);
    ctx.log.PostWindowLine(job.Szenario.empty() ? nullptr : job.Szenario.c_str(), line, kRed);
    return false;
  }
  if (std::string note = filed_name_note(name, filed); !note.empty()) ctx.log.WriteDailyLog(note);
  switch (remove_if_unchanged(from, job.Identity)) {
    case Removal::kRemoved:
    case Removal::kGone:
      return true;
    case Removal::kChanged:
      ctx.log.Log(job.JobFile + " was rewritten after its job was read: left in the watch folder as a new job",
                kBlue);
      return true;
    case Removal::kFailed:
      ctx.log.Log("could not remove " + job.JobFile + " from the watch folder after filing it", kRed);
      return false;
  }
  return false;
}

void report_job(JobContext& ctx, int slot, const AlarmJob& job, uint32_t pass_time) {
  LocalTime sent = local_time(std::chrono::system_clock::time_point(std::chrono::seconds(job.SentTime)));
  if (job.IsMiniMessage == 0 && !job.TableWritten) {
    update_report_table(ctx, job, six_digit_time(sent));
    ctx.journal.record_table_written(job.Identity);
  }
  if (file_job(ctx, job, pass_time, sent)) {
    ctx.journal.record_filed(job.Identity);
  } else {
    // The file stays where it is; the reader passes over it until it changes.
    ctx.journal.hand_over(job.Identity);
  }
  ctx.jobs.free_alarm(slot);
}

void report_pass(JobContext& ctx) {
  auto pass_time = static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count());
  std::vector<int> done;
  {
    std::lock_guard lock(ctx.jobs.JobTableLock);
    for (int slot = 0; slot < MAX_JOBS; ++slot) {
      if (ctx.jobs.jobs_by_slot[slot] && ctx.jobs.jobs_by_slot[slot]->Done != 0) done.push_back(slot);
    }
  }
  // A done job is touched by nobody else until free_alarm releases it.
  for (int slot : done) {
    mark_progress();
    report_job(ctx, slot, *ctx.jobs.jobs_by_slot[slot], pass_time);
  }
}

}  // namespace

void ReportThread(JobContext& ctx) {
  while (!ctx.stopping()) {
    mark_progress();
    report_pass(ctx);
    ctx.jobs.wait_for_done_job(kIdleWaitMs);
  }
  // Stopping: report what the attempt in progress ends with, too.
  ctx.jobs.wait_processing_ended(kLastPassWaitMs);
  report_pass(ctx);
}

}  // namespace qz
