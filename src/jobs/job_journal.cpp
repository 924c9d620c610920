#include "jobs/job_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "core/colours.h"
#include "core/gateway_log.h"
#include "jobs/alarm_job.h"
#include "jobs/filing.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string read_whole(const fs::path& path) {
  std::string text;
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[8192];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

// Splits off the next blank-separated word of `line`.
std::string_view next_word(std::string_view& line) {
  std::size_t end = line.find(' ');
  std::string_view word = line.substr(0, end);
  line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
  return word;
}

bool parse_int64(std::string_view text, int64_t& out) {
  if (text.empty() || text.size() > 20) return false;
  bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  out = negative ? -value : value;
  return true;
}

std::string outcome_record(const JobJournal::Entry& e) {
  char head[160];
  std::snprintf(head, sizeof head, "O %s %d %" PRId64 " ", e.identity.key().c_str(), e.status,
                e.sent_time);
  return head + escape_journal_text(e.job_file) + "\n";
}

// The job files taken aside in the folders of the entries' job files, by identity: a job
// file keeps its identity when it is renamed, whatever was dropped under its name since.
std::map<std::string, fs::path> taken_aside_files(const std::map<std::string, JobJournal::Entry>& entries) {
  std::set<fs::path> folders;
  for (const auto& [key, e] : entries) {
    fs::path folder = fs::path(e.job_file).parent_path();
    folders.insert(folder.empty() ? fs::path(".") : folder);
  }
  std::map<std::string, fs::path> found;
  for (const fs::path& folder : folders) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (!is_taken_aside_name(it->path().filename().string())) continue;
      FileVersion version = read_file_version(it->path());
      if (version.state == FileState::kRead) found[version.identity.key()] = it->path();
    }
  }
  return found;
}

}  // namespace

std::string escape_journal_text(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string unescape_journal_text(std::string_view text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

JobJournal::JobJournal(fs::path instance_folder, GatewayLog& log)
    : path_(std::move(instance_folder) / kFileName), log_(log) {}

JobJournal::~JobJournal() {
  if (fd_ >= 0) ::close(fd_);
}

bool JobJournal::open_for_append() {
  if (fd_ >= 0) return true;
  fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  return fd_ >= 0;
}

bool JobJournal::append(const std::string& record) {
  // Called with mutex_ held.
  if (open_for_append() && write_all(fd_, record) && ::fdatasync(fd_) == 0) return true;
  char line[512];
  std::snprintf(line, sizeof line,
                "ERROR : cannot write the job journal %s (%s): after a crash this job could be "
                "sent again",
                path_.c_str(), std::strerror(errno));
  log_.Log(line, kRed);
  return false;
}

void JobJournal::rewrite(const std::vector<std::string>& records) {
  // Called with mutex_ held. Temporary file, synced, renamed over the journal: a crash
  // leaves either the old journal or the new one.
  std::string bytes;
  for (const auto& r : records) bytes += r;
  fs::path temp = temporary_name_for(path_);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && write_all(fd, bytes) && ::fsync(fd) == 0;
  if (fd >= 0) ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    log_.Log("ERROR : cannot rewrite the job journal " + path_.string() + ": " + std::strerror(errno),
             kRed);
    return;
  }
  sync_folder(path_.parent_path());
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  open_for_append();
}

void JobJournal::recover() {
  std::lock_guard lock(mutex_);
  std::string text = read_whole(path_);
  std::map<std::string, Entry> entries;
  int damaged = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) {
      ++damaged;  // a record cut short by a crash: its step never happened
      break;
    }
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    std::string_view kind = next_word(line);
    std::string key(next_word(line));
    std::optional<FileIdentity> id = FileIdentity::from_key(key);
    if (!id) {
      ++damaged;
      continue;
    }
    if (kind == "O") {
      Entry e;
      e.identity = *id;
      int64_t status = 0;
      if (!parse_int64(next_word(line), status) || !parse_int64(next_word(line), e.sent_time)) {
        ++damaged;
        continue;
      }
      e.status = static_cast<int32_t>(status);
      e.job_file = unescape_journal_text(line);
      entries[key] = std::move(e);
    } else if (kind == "R" && entries.count(key)) {
      entries[key].table_written = true;
    } else if (kind == "M" && entries.count(key)) {
      entries[key].destination = unescape_journal_text(line);
    } else if (kind == "F") {
      entries.erase(key);
    } else if (kind != "R" && kind != "M") {
      ++damaged;
    }
  }
  if (damaged > 0) {
    log_.WriteDailyLog("Job journal: " + std::to_string(damaged) + " damaged line(s) ignored");
  }

  live_.clear();
  std::map<std::string, fs::path> taken_aside = taken_aside_files(entries);
  std::vector<std::string> records;
  for (auto& [key, e] : entries) {
    auto aside = taken_aside.find(key);
    bool is_aside = aside != taken_aside.end();
    if (!e.destination.empty() && begins_with_version(e.destination, e.identity)) {
      // The filed copy is complete; only the job file's removal was cut short. The job
      // file is the one with the entry's identity, under its name or taken aside: a file
      // dropped under its name since is another job and stays.
      Removal removal = is_aside ? remove_taken_aside(aside->second) : remove_if_unchanged(e.job_file, e.identity);
      if (removal != Removal::kFailed) {
        log_.WriteDailyLog("Job journal: " + e.job_file + " was filed as " + e.destination.string());
        continue;
      }
      // It cannot leave the watch folder: the reader passes over it while it is unchanged.
      records.push_back(outcome_record(e));
      records.push_back("R " + key + "\n");
      records.push_back("M " + key + " " + escape_journal_text(e.destination.string()) + "\n");
      e.table_written = true;
      handed_over_[key] = true;
      live_[key] = std::move(e);
      continue;
    }
    // No complete copy: the job is filed afresh (a copy cut short is a temporary, removed
    // at start).
    e.destination.clear();
    FileVersion now = read_file_version(e.job_file);
    if (!is_aside && (now.state != FileState::kRead || !(now.identity == e.identity))) {
      log_.WriteDailyLog("Job journal: " + e.job_file + " is gone or was rewritten; its entry ends");
      continue;
    }
    // One taken aside is put back at start and found again by its identity.
    records.push_back(outcome_record(e));
    if (e.table_written) records.push_back("R " + key + "\n");
    live_[key] = std::move(e);
  }
  if (!live_.empty()) {
    log_.Log("Job journal: " + std::to_string(live_.size()) +
                 " job(s) with a final outcome still to be reported; they are not sent again",
             kBlue);
  }
  if (!text.empty() || !records.empty()) rewrite(records);
}

bool JobJournal::record_outcome(const AlarmJob& job) {
  Entry e;
  e.identity = job.Identity;
  e.job_file = job.JobFile;
  e.status = job.Status;
  e.sent_time = job.SentTime;
  std::lock_guard lock(mutex_);
  bool durable = append(outcome_record(e));
  live_[e.identity.key()] = std::move(e);
  return durable;
}

void JobJournal::record_table_written(const FileIdentity& file) {
  std::lock_guard lock(mutex_);
  auto it = live_.find(file.key());
  if (it == live_.end()) return;
  it->second.table_written = true;
  append("R " + it->first + "\n");
}

void JobJournal::record_destination(const FileIdentity& file, const fs::path& destination) {
  std::lock_guard lock(mutex_);
  auto it = live_.find(file.key());
  if (it == live_.end()) return;
  it->second.destination = destination;
  append("M " + it->first + " " + escape_journal_text(destination.string()) + "\n");
}

void JobJournal::record_filed(const FileIdentity& file) {
  std::lock_guard lock(mutex_);
  std::string key = file.key();
  if (live_.erase(key) == 0) return;
  handed_over_.erase(key);
  append("F " + key + "\n");
  // Nothing is pending any more: start the file afresh so it never grows.
  if (live_.empty() && fd_ >= 0 && ::ftruncate(fd_, 0) == 0) ::fdatasync(fd_);
}

std::optional<JobJournal::Entry> JobJournal::find(const FileIdentity& file) const {
  std::lock_guard lock(mutex_);
  auto it = live_.find(file.key());
  if (it == live_.end()) return std::nullopt;
  return it->second;
}

bool JobJournal::hand_over(const FileIdentity& file) {
  std::lock_guard lock(mutex_);
  return std::exchange(handed_over_[file.key()], true);
}

std::size_t JobJournal::live_entries() const {
  std::lock_guard lock(mutex_);
  return live_.size();
}

}  // namespace qz
