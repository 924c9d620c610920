#include "gateway/send_alarm.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#include "core/access_problem.h"
#include "core/clock.h"
#include "core/files.h"
#include "core/paths.h"
#include "core/settings.h"
#include "gateway/folder_lock.h"
#include "gateway/program_options.h"
#include "gateway/send_options.h"
#include "jobs/alarm_job.h"
#include "jobs/job_drop.h"
#include "jobs/job_journal.h"
#include "jobs/job_outcome.h"
#include "jobs/job_request.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "qzgsms-send";
// A job's text from standard input is never longer; more is not read.
constexpr std::size_t kLongestInput = 1 << 20;
// How often --wait looks for the outcome: a few lookups of sizes and times each time.
constexpr int64_t kLookEveryMs = 100;

// Each try of an SMS: its exchanges and their time-outs. A call adds its dial and hold,
// an MMS its network report.
constexpr int kSecondsPerTry = 90;
constexpr int kSecondsToDial = 30;
constexpr int kSecondsForMmsReport = 200;
constexpr int kSecondsForQueueAndReport = 60;

struct Streams {
  std::FILE* in;
  std::FILE* out;
  std::FILE* err;
};

void say(std::FILE* to, const std::string& line) {
  std::fprintf(to, "%s\n", line.c_str());
  std::fflush(to);
}

int refused(const Streams& io, const std::string& why) {
  say(io.err, std::string(kProgram) + ": " + why + "; nothing is queued");
  return kSendRefused;
}

// Standard input up to its end (at most kLongestInput bytes), without its last line breaks.
std::string read_input(std::FILE* in) {
  std::string text;
  char buffer[8192];
  for (std::size_t n; text.size() < kLongestInput && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
    text.append(buffer, n);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string utf8_name(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

// The request as it goes into the job file: texts on one line and within their fields,
// attachments by their absolute paths.
JobRequest prepared_request(const SendOptions& o, const Streams& io) {
  JobRequest r = o.request;
  const std::string text = o.text_from_input ? read_input(io.in) : r.text;
  if (text.size() > kJobTextBytes) {
    say(io.err, std::string(kProgram) + ": the text is cut to its first " + std::to_string(kJobTextBytes) +
                    " bytes, as much as a job file holds");
  }
  r.text = one_line_text(text, kJobTextBytes);
  r.name = one_line_text(r.name, kJobNameBytes);
  r.subject = one_line_text(r.subject, kJobSubjectBytes);
  for (const std::string& file : o.files) {
    std::error_code ec;
    r.files.push_back(fs::absolute(path_from_text(file), ec).lexically_normal());
  }
  return r;
}

// The folders the gateway files this instance's jobs into.
std::vector<fs::path> filing_folders(const Settings& s, const fs::path& instance) {
  std::vector<fs::path> folders;
  const std::vector<std::string> settings = s.MoveJobToDoneOrErrorPath != 0
                                                ? std::vector<std::string>{s.DonePath, s.ErrorPath}
                                                : std::vector<std::string>{s.WatchLogPath};
  for (const std::string& setting : settings) {
    if (!setting.empty()) folders.push_back(folder_from_setting(instance, setting));
  }
  return folders;
}

// Why --wait could not see the outcome: every filing folder must be readable, or the
// journal. Empty when it can.
std::string outcome_hidden(const std::vector<fs::path>& folders, const fs::path& journal) {
  if (!access_problem(journal, kAccessRead)) return "";
  for (const fs::path& folder : folders) {
    if (auto problem = access_problem(folder, kAccessRead | kAccessEnter)) {
      return "--wait cannot see the outcome: " + access_problem_text(*problem, folder, "the filing folder");
    }
  }
  if (folders.empty()) return "--wait cannot see the outcome: no filing folder is set and the job journal cannot be read";
  return "";
}

std::string outcome_line(const std::string& name, const JobOutcome& outcome) {
  std::string line = name + ": " + (outcome.status == JOB_SENT ? "sent" : "failed");
  if (!outcome.filed.empty()) line += ", filed as " + outcome.filed.string();
  return line;
}

int wait_for_outcome(const Streams& io, const fs::path& watch, const fs::path& job, JobOutcomeWatch& outcome,
                     int seconds) {
  const std::string name = utf8_name(job);
  const int64_t deadline = clock().steady_ms() + int64_t{seconds} * 1000;
  for (;;) {
    if (std::optional<JobOutcome> found = outcome.look()) {
      say(io.out, outcome_line(name, *found));
      return found->status == JOB_SENT ? kSendOk : kSendFailed;
    }
    if (clock().steady_ms() >= deadline) break;
    clock().sleep_ms(kLookEveryMs);
  }
  std::error_code ec;
  const bool waiting = fs::exists(job, ec);
  const std::string where = waiting ? "the job is still in the watch folder" : "the job has left the watch folder";
  const std::string who = folder_holder(watch) ? "a gateway holds the watch folder"
                                               : "no gateway holds the watch folder now";
  say(io.out, name + ": no outcome within " + std::to_string(seconds) + " s (time ran out); " + where + ", " + who);
  return kSendNoAnswer;
}

int send(const SendOptions& o, const Streams& io) {
  const JobRequest request = prepared_request(o, io);
  if (std::string why = job_request_refusal(request); !why.empty()) return refused(io, "refused: " + why);

  std::error_code ec;
  const fs::path instance = fs::absolute(o.instance.empty() ? fs::current_path(ec) : path_from_text(o.instance), ec)
                                .lexically_normal();
  const SettingsFile settings_file(instance);
  if (auto problem = access_problem(settings_file.path(), kAccessRead)) {
    if (problem->error == ENOENT || problem->error == ENOTDIR) {
      return refused(io, "no " + std::string(SettingsFile::kFileName) + " in " + instance.string() +
                             ": not a gateway's instance folder (--instance DIR names one)");
    }
    return refused(io, access_problem_text(*problem, settings_file.path(), "the settings"));
  }
  Settings settings;
  LoadSettings(settings_file, settings);

  const fs::path watch = folder_from_setting(instance, settings.WatchPath);
  if (auto problem = access_problem(watch, kAccessWrite | kAccessEnter)) {
    return refused(io, access_problem_text(*problem, watch, "the watch folder"));
  }
  if (!fs::is_directory(watch, ec)) return refused(io, "the watch folder " + watch.string() + " is not a folder");
  const std::vector<fs::path> folders = filing_folders(settings, instance);
  const fs::path journal = instance / JobJournal::kFileName;
  if (o.wait) {
    if (std::string why = outcome_hidden(folders, journal); !why.empty()) return refused(io, why);
  }

  const std::string bytes = job_file_bytes(request);
  DroppedJob dropped = drop_job_file(watch, settings.FileMask, bytes);
  if (!dropped.ok) {
    return refused(io, "cannot write the job into the watch folder " + watch.string() + " (" + dropped.problem + ")");
  }
  const std::string name = utf8_name(dropped.path);
  say(io.out, name);

  // Looked at after the drop: a gateway that ended meanwhile leaves the job waiting.
  if (!folder_holder(watch)) {
    const std::string line = "no gateway holds the watch folder " + watch.string() +
                             ": the job waits there until one starts";
    if (!o.wait) {
      say(io.err, std::string(kProgram) + ": " + line);
      return kSendOk;
    }
    say(io.out, name + ": " + line);
    return kSendNoAnswer;
  }
  if (!o.wait) return kSendOk;
  JobOutcomeWatch outcome(dropped.path, bytes, dropped.identity, folders, journal);
  return wait_for_outcome(io, watch, dropped.path, outcome, o.wait_seconds.value_or(default_wait_seconds(settings, request)));
}

}  // namespace

int default_wait_seconds(const Settings& s, const JobRequest& r) {
  const int64_t tries = r.scenario.empty() ? 1 : std::max<int64_t>(1, s.RetryCount);
  int64_t per_try = kSecondsPerTry;
  if (r.channel == JobChannel::kVoiceCall) per_try += kSecondsToDial + std::max(0, s.VoiceCallDuration);
  if (r.channel == JobChannel::kMms) per_try += kSecondsForMmsReport;
  const int64_t seconds = tries * per_try + (tries - 1) * std::max(0, s.RetryDelay) + kSecondsForQueueAndReport;
  return static_cast<int>(std::min<int64_t>(seconds, kLongestWaitSeconds));
}

int qzgsms_send(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  const SendOptions options = parse_send_options(args);
  switch (options.action) {
    case SendOptions::Action::kUsageError:
      say(err, std::string(kProgram) + ": " + options.error + "\nTry '" + kProgram + " --help'.");
      return kSendRefused;
    case SendOptions::Action::kHelp:
      std::fputs(send_help().c_str(), out);
      return kSendOk;
    case SendOptions::Action::kVersion:
      say(out, program_version_line(kProgram));
      return kSendOk;
    case SendOptions::Action::kSend:
      break;
  }
  return send(options, Streams{in, out, err});
}

}  // namespace qz
