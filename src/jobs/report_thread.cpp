#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "core/clock.h"
#include "core/colours.h"
#include "core/gateway.h"
#include "core/paths.h"
#include "jobs/database.h"
#include "jobs/file_move.h"
#include "jobs/job_threads.h"
#include "jobs/report_table.h"

namespace qz {

namespace {

std::string six_digit_time(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", t.hour, t.minute, t.second);
  return text;
}

void update_report_table(Gateway& g, const AlarmJob& job, const std::string& time) {
  std::filesystem::path table =
      join_folder_and_name(g.folder, g.settings.WatchLogPath, job.Szenario + ".dbf");
  char failed[600];
  std::snprintf(failed, sizeof failed, "ERROR : could not update %s", table.c_str());

  CDatabase db(g.error_box);
  if (db.Open(table.string()) == 0) {
    g.log.Log(failed, kRed);
    return;
  }
  if (!write_job_result(db, int64_t{job.dbentry} + 1, job.Status, time)) g.log.Log(failed, kRed);
  db.Close();
}

// Moves the job file by its outcome; returns the destination, empty when not moved there.
std::filesystem::path file_job(Gateway& g, const AlarmJob& job, uint32_t pass_time) {
  const Settings& s = g.settings;
  bool moved_by_outcome = s.MoveJobToDoneOrErrorPath != 0;
  // Nothing was sent for a job of unknown type: it belongs with the failures.
  const std::string& folder = !moved_by_outcome     ? s.WatchLogPath
                              : job.Status == JOB_SENT ? s.DonePath
                                                       : s.ErrorPath;
  if (folder.empty()) return {};

  std::filesystem::path from(job.JobFile);
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%08X-", pass_time);
  std::filesystem::path to =
      join_folder_and_name(g.folder, folder, prefix + from.filename().string());
  if (!move_job_file(from, to)) {
    char line[1200];
    std::snprintf(line, sizeof line, "could not move %s to %s", from.c_str(), to.c_str());
    g.log.WriteDailyLog(line);
    g.log.PostWindowLine(job.Szenario.empty() ? nullptr : job.Szenario.c_str(), line, kRed);
  }
  return to;
}

void append_success_note(const std::filesystem::path& destination, const LocalTime& t) {
  std::ofstream out(destination, std::ios::binary | std::ios::app);
  char note[96];
  std::snprintf(note, sizeof note, "%d.%d.%d %d:%d ALARM successfully sent", t.year, t.month,
                t.day, t.hour, t.minute);
  out << note;
}

void report_job(Gateway& g, int slot, const AlarmJob& job, uint32_t pass_time) {
  LocalTime sent = local_time(std::chrono::system_clock::time_point(std::chrono::seconds(job.SentTime)));
  if (job.IsMiniMessage == 0) update_report_table(g, job, six_digit_time(sent));

  // Noted before the move: if the file cannot leave the watch folder, the reader knows
  // it has been reported and does not send it again.
  g.reported.remember(job.JobFile);
  std::filesystem::path destination = file_job(g, job, pass_time);
  if (job.Status == JOB_SENT && !destination.empty()) append_success_note(destination, sent);
  g.jobs.free_alarm(slot);
}

}  // namespace

void ReportThread(Gateway& g) {
  do {
    auto pass_time = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(clock().now().time_since_epoch()).count());
    std::vector<int> done;
    {
      std::lock_guard lock(g.jobs.JobTableLock);
      for (int slot = 0; slot < MAX_JOBS; ++slot) {
        if (g.jobs.slots[slot] && g.jobs.slots[slot]->Done != 0) done.push_back(slot);
      }
    }
    // A done job is touched by nobody else until free_alarm releases it.
    for (int slot : done) report_job(g, slot, *g.jobs.slots[slot], pass_time);
  } while (g.sleep_ms(1000));
}

}  // namespace qz
