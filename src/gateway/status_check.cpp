#include "gateway/status_check.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "core/clock.h"
#include "core/files.h"
#include "core/system_error.h"
#include "gateway/folder_lock.h"
#include "gateway/status_file.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

const char* const kLevelNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// The status file's lines, as status_file.cpp writes them.
struct StatusRecord {
  std::string state;  // "running" or "stopped"
  int64_t pid = 0, modem_up = 0, signal = 0, registered = 0, jobs = 0, oldest_job_age = 0, job_late_after = 0;
  int64_t last_send_time = 0;
  std::string last_send_to, last_send_result;
  int64_t sent = 0, failed = 0, retried = 0, bad_requests = 0, received = 0;
  int64_t delivered = 0, not_delivered = 0;  // delivery reports; absent from older gateways' files
  int64_t tech_alarm_last = 0, tech_alarm_held_until = 0;
  // Written by newer gateways only: a status file without them is still whole.
  int64_t not_handed_on = 0, store_used = -1, store_total = -1;
};

// A gateway writes well under a kilobyte; anything far beyond is not its status.
constexpr int64_t kMaxStatusBytes = 64 * 1024;

// The status file as read: its bytes and when it was written, or why it cannot be read.
struct StatusFile {
  bool missing = false;
  std::string unreadable;  // why not, when it cannot be read and is not missing
  std::string bytes;
  int64_t written_ns = 0;  // since 1970
};

// Reads a bounded amount of a regular file only: the check must answer at once whatever
// lies under the status file's name, and never follow a link a writer would not.
StatusFile read_status_file(const fs::path& path) {
  StatusFile status;
  File file = File::open(path, {.no_follow = true});
  if (!file.is_open()) {
    if (errno == ENOENT) status.missing = true;
    else status.unreadable = errno == ELOOP ? "a symbolic link, which is never followed" : error_text(errno);
    return status;
  }
  std::optional<FileInfo> info = file.info();
  if (!info) {
    status.unreadable = error_text(errno);
  } else if (info->kind != FileKind::kRegular) {
    status.unreadable = "not a regular file";
  } else if (info->size > kMaxStatusBytes) {
    status.unreadable = std::to_string(info->size) + " bytes, more than a status file ever holds";
  } else {
    status.bytes.resize(static_cast<std::size_t>(kMaxStatusBytes) + 1);
    std::size_t used = 0;
    for (int64_t n; used < status.bytes.size() && (n = file.read(&status.bytes[used], status.bytes.size() - used)) != 0;) {
      if (n < 0) {
        status.unreadable = error_text(errno);
        return status;
      }
      used += static_cast<std::size_t>(n);
    }
    // Grown past the bound since it was looked at: no status a gateway writes.
    if (used > static_cast<std::size_t>(kMaxStatusBytes)) status.unreadable = "more than a status file ever holds";
    status.bytes.resize(used);
    status.written_ns = info->mtime_ns;
  }
  return status;
}

// Nullopt when a line is missing or is not what the gateway writes.
std::optional<StatusRecord> parse_status(std::istream& in) {
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
    if (line.empty() || line[0] == '#') continue;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  bool whole = true;
  auto number = [&](const char* key, int64_t& out) {
    auto found = values.find(key);
    if (found == values.end()) return void(whole = false);
    const std::string& text = found->second;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (error != std::errc() || end != text.data() + text.size()) whole = false;
  };
  auto text = [&](const char* key, std::string& out) {
    auto found = values.find(key);
    if (found == values.end()) whole = false;
    else out = found->second;
  };
  StatusRecord r;
  text("state", r.state);
  number("pid", r.pid);
  number("modem_up", r.modem_up);
  number("signal", r.signal);
  number("registered", r.registered);
  number("jobs", r.jobs);
  number("oldest_job_age", r.oldest_job_age);
  number("job_late_after", r.job_late_after);
  number("last_send_time", r.last_send_time);
  text("last_send_to", r.last_send_to);
  text("last_send_result", r.last_send_result);
  number("sent", r.sent);
  number("failed", r.failed);
  number("retried", r.retried);
  number("bad_requests", r.bad_requests);
  number("received", r.received);
  for (auto [key, out] : {std::pair{"not_handed_on", &r.not_handed_on}, std::pair{"delivered", &r.delivered},
                          std::pair{"not_delivered", &r.not_delivered}, std::pair{"store_used", &r.store_used},
                          std::pair{"store_total", &r.store_total}}) {
    if (values.count(key) != 0) number(key, *out);
  }
  number("tech_alarm_last", r.tech_alarm_last);
  number("tech_alarm_held_until", r.tech_alarm_held_until);
  if (!whole || (r.state != "running" && r.state != "stopped")) return std::nullopt;
  return r;
}

std::string date_time(int64_t seconds) {
  LocalTime t = local_time(std::chrono::system_clock::time_point(std::chrono::seconds(seconds)));
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string json_time(int64_t seconds) { return seconds > 0 ? json_string(date_time(seconds)) : "null"; }

// Builds the answer from what is wrong, most serious first.
class Answer {
 public:
  void problem(int level, std::string text) {
    code_ = std::max(code_, level);
    parts_.push_back(std::move(text));
  }
  void fact(std::string text) { parts_.push_back(std::move(text)); }
  void detail(std::string text) { details_ += text + "\n"; }
  void json(const std::string& key, const std::string& value) { json_ += ",\"" + key + "\":" + value; }
  void perf(std::string text) { perf_ = std::move(text); }

  StatusAnswer finish() {
    StatusAnswer answer;
    answer.exit_code = code_;
    std::string summary;
    for (const std::string& part : parts_) summary += (summary.empty() ? "" : ", ") + part;
    answer.text = std::string("QZGSMS ") + kLevelNames[code_] + " - " + summary + (perf_.empty() ? "" : " | " + perf_) +
                  "\n" + details_;
    answer.json = "{\"status\":" + json_string(kLevelNames[code_]) + ",\"exit_code\":" + std::to_string(code_) +
                  ",\"summary\":" + json_string(summary) + json_ + "}\n";
    return answer;
  }

 private:
  int code_ = kStatusOk;
  std::vector<std::string> parts_;
  std::string details_;
  std::string json_;
  std::string perf_;
};

const char* json_bool(bool value) { return value ? "true" : "false"; }

}  // namespace

StatusAnswer check_status(const fs::path& folder) {
  Answer answer;
  const fs::path file = folder / kStatusFileName;
  const std::optional<FolderHolder> holder = folder_holder(folder);
  const long holder_pid = holder ? holder->pid : 0;

  const StatusFile status = read_status_file(file);
  if (status.missing || !status.unreadable.empty()) {
    if (status.missing && !holder) {
      answer.problem(kStatusCritical, "not running: no gateway holds " + folder.string() + " and it has no status file");
    } else {
      answer.problem(kStatusUnknown, "cannot read " + file.string() +
                                         (status.unreadable.empty() ? "" : " (" + status.unreadable + ")") +
                                         (holder ? ", although process " + std::to_string(holder_pid) + " holds the instance" : ""));
    }
    answer.json("running", json_bool(holder.has_value()));
    answer.json("lock_held", json_bool(holder.has_value()));
    answer.json("pid", holder_pid > 0 ? std::to_string(holder_pid) : "null");
    return answer.finish();
  }
  std::istringstream in(status.bytes);
  const std::optional<StatusRecord> parsed = parse_status(in);
  if (!parsed) {
    answer.problem(kStatusUnknown, file.string() + " is damaged: not the status a gateway writes");
    return answer.finish();
  }
  const StatusRecord& r = *parsed;

  // The lock says whether the process that wrote the file still runs: a gateway killed
  // outright leaves its last status behind.
  const bool lock_held = holder && (holder_pid == r.pid || holder_pid == 0);
  const bool running = r.state == "running" && lock_held;
  const auto written = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(status.written_ns)));
  const int64_t age = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now() - written).count();

  if (r.state == "stopped") answer.problem(kStatusCritical, "not running: stopped");
  else if (!lock_held) answer.problem(kStatusCritical, "not running: process " + std::to_string(r.pid) + " is gone");
  else if (age > kStaleSeconds) answer.problem(kStatusCritical, "status " + std::to_string(age) + " s old");
  if (running && !r.modem_up) answer.problem(kStatusCritical, "modem down");

  if (running) {
    const bool low = r.signal < kLowSignal;
    if (low) answer.problem(kStatusWarning, "signal " + std::to_string(r.signal) + " (low)");
    else answer.fact("signal " + std::to_string(r.signal));
    if (r.registered) answer.fact("registered");
    else answer.problem(kStatusWarning, "not registered");
    const std::string jobs = std::to_string(r.jobs) + (r.jobs == 1 ? " job" : " jobs");
    if (r.jobs > 0 && r.oldest_job_age > r.job_late_after) {
      answer.problem(kStatusWarning, jobs + ", the oldest " + std::to_string(r.oldest_job_age) + " s old");
    } else {
      answer.fact(jobs);
    }
    if (r.store_total > 0) {
      const std::string use = std::to_string(r.store_used) + "/" + std::to_string(r.store_total);
      if (r.store_used >= r.store_total) answer.problem(kStatusWarning, "message store full (" + use + ")");
      else if (r.store_used * 5 >= r.store_total * 4) answer.problem(kStatusWarning, "message store nearly full (" + use + ")");
    }
    if (r.last_send_time > 0) {
      const std::string when = date_time(r.last_send_time).substr(11);
      answer.fact(r.last_send_result == "sent" ? "last sent " + when + " to " + r.last_send_to
                                               : "last send " + when + " to " + r.last_send_to + " " + r.last_send_result);
    }
  }
  answer.perf("sent=" + std::to_string(r.sent) + "c failed=" + std::to_string(r.failed) + "c retried=" +
              std::to_string(r.retried) + "c bad_requests=" + std::to_string(r.bad_requests) + "c received=" +
              std::to_string(r.received) + "c delivered=" + std::to_string(r.delivered) +
              "c not_delivered=" + std::to_string(r.not_delivered) + "c jobs=" + std::to_string(r.jobs) + " signal=" + std::to_string(r.signal) +
              ";" + std::to_string(kLowSignal) + ":;;0;31");

  answer.detail("process " + std::to_string(r.pid) + (lock_held ? " holds the instance lock" : " holds no instance lock") +
                (holder && !lock_held ? " (process " + std::to_string(holder_pid) + " does)" : "") + "; status " +
                r.state + ", written " + std::to_string(age) + " s ago");
  answer.detail(std::string(r.modem_up ? "modem up" : "modem down") + ", signal " + std::to_string(r.signal) +
                (r.registered ? ", registered" : ", not registered"));
  answer.detail("jobs in progress " + std::to_string(r.jobs) + ", the oldest " + std::to_string(r.oldest_job_age) +
                " s old (late after " + std::to_string(r.job_late_after) + " s)");
  answer.detail(r.last_send_time > 0
                    ? "last send " + date_time(r.last_send_time) + " to " + r.last_send_to + ": " + r.last_send_result
                    : std::string("no send since the start"));
  answer.detail("since the start: sent " + std::to_string(r.sent) + ", failed " + std::to_string(r.failed) +
                ", retried " + std::to_string(r.retried) + ", bad requests " + std::to_string(r.bad_requests) +
                ", received " + std::to_string(r.received) + ", received but not handed on " +
                std::to_string(r.not_handed_on) + ", delivered " + std::to_string(r.delivered) + ", not delivered " +
                std::to_string(r.not_delivered));
  answer.detail(r.store_total > 0 ? "message store " + std::to_string(r.store_used) + " of " +
                                        std::to_string(r.store_total) + " used"
                                  : std::string("message store: use not known"));
  answer.detail(r.tech_alarm_last > 0 ? "technical alarm last raised " + date_time(r.tech_alarm_last) +
                                            ", the next held back until " + date_time(r.tech_alarm_held_until)
                                      : std::string("technical alarm: none recorded"));

  answer.json("running", json_bool(running));
  answer.json("pid", std::to_string(r.pid));
  answer.json("lock_held", json_bool(lock_held));
  answer.json("state", json_string(r.state));
  answer.json("status_age_s", std::to_string(age));
  answer.json("modem_up", json_bool(r.modem_up));
  answer.json("signal", std::to_string(r.signal));
  answer.json("registered", json_bool(r.registered));
  answer.json("jobs", std::to_string(r.jobs));
  answer.json("oldest_job_age_s", std::to_string(r.oldest_job_age));
  answer.json("job_late_after_s", std::to_string(r.job_late_after));
  answer.json("last_send", r.last_send_time > 0 ? "{\"time\":" + json_time(r.last_send_time) + ",\"to\":" +
                                                      json_string(r.last_send_to) + ",\"result\":" +
                                                      json_string(r.last_send_result) + "}"
                                                : std::string("null"));
  answer.json("counts", "{\"sent\":" + std::to_string(r.sent) + ",\"failed\":" + std::to_string(r.failed) +
                            ",\"retried\":" + std::to_string(r.retried) + ",\"bad_requests\":" +
                            std::to_string(r.bad_requests) + ",\"received\":" + std::to_string(r.received) +
                            ",\"not_handed_on\":" + std::to_string(r.not_handed_on) + ",\"delivered\":" +
                            std::to_string(r.delivered) + ",\"not_delivered\":" + std::to_string(r.not_delivered) + "}");
  answer.json("message_store", r.store_total > 0 ? "{\"used\":" + std::to_string(r.store_used) + ",\"total\":" +
                                                       std::to_string(r.store_total) + "}"
                                                 : std::string("null"));
  answer.json("tech_alarm", "{\"last\":" + json_time(r.tech_alarm_last) +
                                ",\"held_until\":" + json_time(r.tech_alarm_held_until) + "}");
  return answer.finish();
}

}  // namespace qz
