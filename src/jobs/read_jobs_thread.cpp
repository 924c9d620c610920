#include <cstdio>
#include <memory>

#include "core/colours.h"
#include "core/gateway.h"
#include "core/paths.h"
#include "jobs/file_move.h"
#include "jobs/folder_watch.h"
#include "jobs/job_file.h"
#include "jobs/job_threads.h"

namespace qz {

namespace {

std::string format(const char* pattern, const std::string& a, const std::string& b = "") {
  char line[1024];
  std::snprintf(line, sizeof line, pattern, a.c_str(), b.c_str());
  return line;
}

void post_with_scenario(Gateway& g, const std::string& szenario, const std::string& text, Colour c) {
  g.log.PostWindowLine(szenario.empty() ? nullptr : szenario.c_str(), text, c);
}

void handle_bad_request(Gateway& g, const AlarmJob& job, const std::filesystem::path& path) {
  const Settings& s = g.settings;
  const std::string& folder = s.MoveJobToDoneOrErrorPath != 0 ? s.ErrorPath : s.WatchLogPath;
  if (!folder.empty()) {
    std::filesystem::path destination =
        join_folder_and_name(g.folder, folder, path.filename().string());
    if (!move_job_file(path, destination)) {
      std::string line = format("could not move %s to %s", path.string(), destination.string());
      g.log.WriteDailyLog(line);
      post_with_scenario(g, job.Szenario, line, kRed);
    }
  }
  g.log.PostWindowLine(nullptr, "Bad request !", kBlue);
}

// Takes the text from QZAMSG.INI when the job file names only an alarm key.
void complete_alarm_text(Gateway& g, AlarmJob& job) {
  if (job.Message.empty()) {
    ProfileFile texts(g.folder, "QZAMSG.INI");
    job.Message = texts.read_text("Messages", job.AlarmKey, "", 2048);
  }
  if (job.Message.empty()) job.Message = "ALARM " + job.AlarmKey;
}

void read_job(Gateway& g, const std::filesystem::path& path) {
  g.sleep_ms(100);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return;
  AlarmJob job = read_job_file(path);
  if (!std::filesystem::exists(path, ec)) return;

  if (g.reported.contains(path)) {
    if (g.reported.first_mention(path)) {
      g.log.Log(format("%s was reported already and could not be moved: not sent again",
                       path.string()),
                kRed);
    }
    return;
  }
  if (g.jobs.is_alarm_queued(job)) return;
  if (!std::filesystem::exists(path, ec)) return;

  if (is_bad_request(job)) {
    handle_bad_request(g, job, path);
    return;
  }
  if (job.Szenario.empty()) {
    job.IsMiniMessage = 1;
    g.log.Log(format("Sending mini-message to %s", job.PhoneNumber), kGrey);
  } else {
    complete_alarm_text(g, job);
    g.log.Log(format("Sending alarm %s to %s", job.Szenario, job.PhoneNumber), kGrey);
  }
  g.jobs.new_alarm(job);
  g.sleep_ms(500);
}

}  // namespace

void ReadJobsThread(Gateway& g) {
  const Settings& s = g.settings;
  std::filesystem::path watch_folder = folder_from_setting(g.folder, s.WatchPath);
  // A time-out of 0 or less would scan without pause.
  int64_t timeout_ms = s.WatchTimeout > 0 ? int64_t{s.WatchTimeout} * 1000 : 1000;

  auto watch = std::make_unique<FolderWatch>(watch_folder);
  while (!g.stopping()) {
    if (!watch->wait(timeout_ms)) watch = std::make_unique<FolderWatch>(watch_folder);
    if (g.stopping()) break;
    if (g.jobs.count() >= JobLimit) {
      g.sleep_ms(1000);
      continue;
    }
    for (const std::string& name : list_matching_files(watch_folder, s.FileMask)) {
      if (g.jobs.count() >= JobLimit || g.stopping()) break;
      read_job(g, join_folder_and_name(g.folder, s.WatchPath, name));
    }
  }
}

}  // namespace qz
