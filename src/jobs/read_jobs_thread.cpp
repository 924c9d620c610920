#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>

#include "core/colors.h"
#include "core/files.h"
#include "jobs/job_context.h"
#include "core/paths.h"
#include "core/worker_progress.h"
#include "jobs/filing.h"
#include "jobs/folder_watch.h"
#include "jobs/job_file.h"
#include "jobs/job_text.h"
#include "jobs/job_threads.h"

namespace qz {

namespace {

// The reader checks for a stop at least this often while it waits for the folder.
constexpr int64_t kStopCheckMs = 1000;
// The longest single wait on a working watch, which a stop wakes.
constexpr int64_t kWatchSliceMs = 60000;

std::string format(const char* pattern, const std::string& a, const std::string& b = "") {
  char line[1200];
  std::snprintf(line, sizeof line, pattern, a.c_str(), b.c_str());
  return line;
}

void post_with_scenario(JobContext& ctx, const std::string& szenario, const std::string& text, Color c) {
  ctx.log.PostWindowLine(szenario.empty() ? nullptr : szenario.c_str(), text, c);
}

void log_could_not_move(JobContext& ctx, const std::string& szenario, const std::filesystem::path& from,
                        const FilingResult& filed) {
  std::string line = could_not_move_line(from, filed);
  ctx.log.WriteDailyLog(line);
  post_with_scenario(ctx, szenario, line, kRed);
}

// A bad request goes to the error destination under its own name: its bytes are written
// there, then the file leaves the watch folder (only if it was not rewritten meanwhile).
// Anything that is not a regular file is moved as it is, never followed.
void handle_bad_request(JobContext& ctx, const std::string& szenario, const std::filesystem::path& path,
                        const FileVersion* version) {
  const Settings& s = ctx.settings;
  const std::string& folder = s.MoveJobToDoneOrErrorPath != 0 ? s.ErrorPath : s.WatchLogPath;
  if (!folder.empty()) {
    std::filesystem::path destination_folder = folder_from_setting(ctx.folder, folder);
    std::string name = path.filename().string();
    FilingResult filed;
    if (version != nullptr) {
      // Journalled like a report's filing: a crash between the copy and the removal is
      // finished at the next start instead of filing a second copy.
      if (!ctx.journal.find(version->identity)) {
        AlarmJob entry;
        entry.JobFile = path.string();
        entry.Identity = version->identity;
        ctx.journal.record_outcome(entry);
      }
      filed = publish_file(destination_folder, name, version->bytes, 0644,
                           [&](const std::filesystem::path& destination) {
                             ctx.journal.record_destination(version->identity, destination);
                             ctx.filed_copies.note(destination, ctx.watch_folder());
                           });
      if (filed.ok) {
        Removal removal = remove_if_unchanged(path, version->identity);
        if (removal == Removal::kChanged) {
          ctx.log.WriteDailyLog(format("%s changed while it was filed: left in the watch folder", path.string()));
        } else if (removal == Removal::kFailed) {
          // Undone, so a file that cannot leave the folder does not fill the error folder.
          remove_file(filed.path);
          filed.ok = false;
          filed.error = "cannot remove it from the watch folder";
        }
        if (removal != Removal::kFailed) ctx.journal.record_filed(version->identity);
      }
    } else {
      filed = move_entry(path, destination_folder, name);
      // Noted once it is there: only this thread reads the folder.
      if (filed.ok) ctx.filed_copies.note(filed.path, ctx.watch_folder());
    }
    if (!filed.ok) log_could_not_move(ctx, szenario, path, filed);
    else if (std::string note = filed_name_note(name, filed); !note.empty()) ctx.log.WriteDailyLog(note);
  }
  ctx.log.PostWindowLine(nullptr, "Bad request !", kBlue);
}

// Takes the text from QZAMSG.INI when the job file names only an alarm key.
void complete_alarm_text(JobContext& ctx, AlarmJob& job) {
  if (job.Message.empty()) {
    ProfileFile texts(ctx.folder, "QZAMSG.INI");
    job.Message = texts.read_text("Messages", job.AlarmKey, "", 2048);
  }
  if (job.Message.empty()) job.Message = "ALARM " + job.AlarmKey;
}

// Lines about a file that stays in the watch folder are said once per version of it,
// not at every scan.
class SaidOnce {
 public:
  bool first(const std::string& what) { return said_.insert(what).second; }

 private:
  std::set<std::string> said_;
};

// A job file whose outcome the journal holds (sent before a crash or a stop, or reported
// but not yet filed) is handed to the report as it is: it is never sent again.
void hand_journal_entry_to_report(JobContext& ctx, SaidOnce& said, AlarmJob& job,
                                  const JobJournal::Entry& entry) {
  if (ctx.journal.hand_over(job.Identity)) {
    // Its report in this run could not file it; it stays until it changes.
    if (said.first(job.Identity.key())) {
      ctx.log.Log(format("%s was reported already and could not be moved: not sent again", job.JobFile),
                kRed);
    }
    return;
  }
  job.Status = entry.status;
  job.SentTime = entry.sent_time;
  job.TableWritten = entry.table_written;
  job.Done = 1;
  ctx.log.Log(format("%s has its outcome already: reported, not sent again", job.JobFile), kBlue);
  ctx.jobs.new_alarm(job);
}

void read_job(JobContext& ctx, SaidOnce& said, const std::filesystem::path& path) {
  ctx.sleep_ms(100);
  FileVersion version = read_file_version(path);
  switch (version.state) {
    case FileState::kMissing:
      return;  // gone between listing and reading
    case FileState::kUnreadable:
      if (said.first("unreadable " + path.string())) {
        ctx.log.Log(format("%s cannot be read: left in the watch folder", path.string()), kRed);
      }
      return;
    case FileState::kNotRegular:
    case FileState::kTooLarge:
      // Said beside the window's "Bad request !", so a log without the daily file (qzgsmsd's
      // journal) tells which file it was and why.
      ctx.log.Log(format("%s is %s: not a job", path.string(),
                       version.state == FileState::kTooLarge ? "too large" : "not a regular file"),
                kRed);
      ++ctx.link.status.bad_requests;
      handle_bad_request(ctx, "", path, nullptr);
      return;
    case FileState::kRead:
      break;
  }

  AlarmJob job = parse_job_file(version.bytes, path);
  job.Identity = version.identity;
  job.FileBytes = version.bytes;
  // The duplicate rule compares the job as it will be sent: with its alarm text filled in.
  bool bad = is_bad_request(job);
  if (!bad && job.IsMiniMessage == 0) complete_alarm_text(ctx, job);
  std::string lacking = convert_job_texts(job);
  // A queued job is read again at every scan: said once per version of the file.
  if (!bad && !lacking.empty() && said.first("lacking " + job.Identity.key())) {
    ctx.log.Log("Characters the GSM alphabet lacks in " + job.JobFile + ": " + lacking, kRed);
  }

  // A bad request is never a job, also when the journal holds its filing cut short.
  if (bad) {
    ctx.log.Log("Bad request " + path.string() + ": " + bad_request_reason(job), kRed);
    ++ctx.link.status.bad_requests;
    handle_bad_request(ctx, job.Szenario, path, &version);
    return;
  }
  if (ctx.jobs.is_alarm_queued(job)) return;
  if (auto entry = ctx.journal.find(job.Identity)) {
    hand_journal_entry_to_report(ctx, said, job, *entry);
    return;
  }
  // The report takes a job file out of the watch folder before it frees the job's slot
  // and closes its journal entry. A file read just before that, and found neither queued
  // nor in the journal just after, has been filed meanwhile: it is gone, not a new job.
  FileVersion still = read_file_version(path);
  if (still.state != FileState::kRead || !(still.identity == version.identity)) return;
  if (job.IsMiniMessage != 0) {
    ctx.log.Log(format("Sending mini-message to %s", job.PhoneNumber), kGrey);
  } else {
    ctx.log.Log(format("Sending alarm %s to %s", job.Szenario, job.PhoneNumber), kGrey);
  }
  ctx.jobs.new_alarm(job);
  ctx.sleep_ms(500);
}

}  // namespace

void ReadJobsThread(JobContext& ctx) {
  const Settings& s = ctx.settings;
  std::filesystem::path watch_folder = folder_from_setting(ctx.folder, s.WatchPath);
  // A time-out of 0 or less would scan without pause.
  int64_t timeout_ms = s.WatchTimeout > 0 ? int64_t{s.WatchTimeout} * 1000 : 1000;

  // A stop wakes the watch the reader waits on; the stop may come when the reader has
  // ended, so the hook holds what it reaches.
  struct StopWake {
    std::mutex mutex;
    std::unique_ptr<FolderWatch> watch;
  };
  auto current = std::make_shared<StopWake>();
  // The folder the watch is on: WatchPath may name another one later (the folder renamed,
  // or deleted and made again), and a watch stays with the folder it was set on.
  struct FolderIdentity {
    bool found = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FolderIdentity&) const = default;
  };
  auto identity_of_watch_folder = [&] {
    std::optional<FileInfo> info = target_info(watch_folder);
    return info ? FolderIdentity{true, info->device, info->inode} : FolderIdentity{};
  };
  FolderIdentity watched;
  auto renew_watch = [&] {
    std::lock_guard lock(current->mutex);
    current->watch = std::make_unique<FolderWatch>(watch_folder);
    watched = identity_of_watch_folder();
    return current->watch.get();
  };
  FolderWatch* watch = renew_watch();
  ctx.link.on_stop([current] {
    std::lock_guard lock(current->mutex);
    if (current->watch) current->watch->wake();
  });
  SaidOnce said;
  // Files that waited while the gateway was down are read at once, not after a time-out.
  bool scan_now = true;
  while (!ctx.stopping()) {
    mark_progress();
    if (!scan_now) {
      // A stop wakes a working watch; without one, the wait goes in slices, so that a stop
      // is seen within a second whatever WatchTimeout says.
      const int64_t slice = watch->active() ? std::min(timeout_ms, kWatchSliceMs) : kStopCheckMs;
      bool changed = false;
      for (int64_t waited = 0; waited < timeout_ms && !changed && !ctx.stopping(); waited += slice) {
        changed = watch->wait(std::min(slice, timeout_ms - waited));
      }
      if (!changed) watch = renew_watch();
      if (ctx.stopping()) break;
    }
    scan_now = false;
    if (ctx.jobs.count() >= JobLimit) {
      ctx.sleep_ms(1000);
      continue;
    }
    if (identity_of_watch_folder() != watched) watch = renew_watch();
    // Another gateway may hold the folder WatchPath names now: its jobs are its own.
    if (ctx.holds_watch_folder && !ctx.holds_watch_folder()) continue;
    const std::vector<std::string> names = list_matching_files(watch_folder, s.FileMask);
    ctx.filed_copies.listed(names);
    for (const std::string& name : names) {
      if (ctx.jobs.count() >= JobLimit || ctx.stopping()) break;
      // Being filed right now (or a copy being written, when jobs are filed into this
      // folder), or a copy this gateway filed here itself.
      if (is_taken_aside_name(name) || is_temporary_name(name) || ctx.filed_copies.contains(name)) continue;
      mark_progress();
      read_job(ctx, said, join_folder_and_name(ctx.folder, s.WatchPath, name));
    }
  }
}

}  // namespace qz
