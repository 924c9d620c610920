#include "jobs/job_journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "core/colors.h"
#include "core/gateway_log.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "jobs/alarm_job.h"
#include "jobs/filing.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// Splits off the next blank-separated word of `line`.
std::string_view next_word(std::string_view& line) {
  std::size_t end = line.find(' ');
  std::string_view word = line.substr(0, end);
  line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
  return word;
}

// The whole of `text` as a decimal number of its type; false for anything else, a number
// beyond the type's range included.
template <typename Number>
bool parse_number(std::string_view text, Number& out) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, out);
  return !text.empty() && error == std::errc() && stop == end;
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
    fs::path folder = path_from_text(e.job_file).parent_path();
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

// No record comes near this: two escaped paths and a few numbers. A longer line is
// damage, skipped without being held in memory.
constexpr std::size_t kMaxRecordBytes = 64 * 1024;
// Lines about one kind of finding are counted; only the first few are shown as examples.
constexpr int kExamplesShown = 3;

// Which files are in a folder now, by device and inode, listed once per folder: an
// entry whose job file is not among them (under any name) can never match a job again.
class PresentFiles {
 public:
  bool holds(const fs::path& job_file, const FileIdentity& identity) {
    fs::path folder = job_file.parent_path();
    if (folder.empty()) folder = ".";
    auto it = folders_.find(folder);
    if (it == folders_.end()) {
      std::error_code ec;
      fs::directory_iterator listing(folder, ec);
      // A folder that is gone holds nothing; only folders that exist are remembered, so
      // records naming a million made-up folders cost no memory.
      if (ec == std::errc::no_such_file_or_directory) return false;
      it = folders_.emplace(folder, list(listing, ec)).first;
    }
    return !it->second || it->second->count({identity.device, identity.inode}) > 0;
  }

 private:
  using Inodes = std::set<std::pair<uint64_t, uint64_t>>;
  // Nothing when the folder cannot be listed: then every entry is kept.
  static std::optional<Inodes> list(fs::directory_iterator it, std::error_code ec) {
    Inodes inodes;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
      if (std::optional<FileInfo> st = entry_info(it->path())) inodes.insert({st->device, st->inode});
    }
    if (ec) return std::nullopt;
    return inodes;
  }
  std::map<fs::path, std::optional<Inodes>> folders_;
};

// Counts one kind of finding and keeps its first few examples.
struct Tally {
  int count = 0;
  std::vector<std::string> examples;
  void add(std::string example) {
    if (count++ < kExamplesShown) examples.push_back(std::move(example));
  }
};

// What reading the journal at start found. The journal is read a buffer at a time and
// only live entries are kept, so a journal of any length costs no more memory than the
// jobs it can still match.
struct JournalContents {
  std::map<std::string, JobJournal::Entry> entries;  // live, by identity key
  bool had_bytes = false;     // it was not empty
  std::string unusable;       // why it could not be read at all ("is a directory")
  std::string read_error;     // why reading stopped before its end
  Tally damaged;              // lines that are no record
  Tally skipped;              // outcomes whose job file is gone: they can match no job
  std::string cut_short;      // the kind of the last record when a crash cut it short
};

std::string printable_example(std::string_view line) {
  std::string shown = escape_journal_text(line.substr(0, 60));
  return line.size() > 60 ? shown + "..." : shown;
}

void apply_record(std::string_view line, int64_t line_number, PresentFiles& present,
                  JournalContents& out) {
  std::optional<JournalRecord> record = parse_journal_record(line);
  if (!record) {
    out.damaged.add("line " + std::to_string(line_number) + ": " + printable_example(line));
    return;
  }
  const std::string& key = record->key;
  if (record->kind == 'O') {
    JobJournal::Entry e;
    e.identity = record->identity;
    e.status = record->status;
    e.sent_time = record->sent_time;
    e.job_file = std::move(record->text);
    if (!present.holds(path_from_text(e.job_file), e.identity)) {
      out.skipped.add(e.job_file);
      out.entries.erase(key);
      return;
    }
    out.entries[key] = std::move(e);
  } else if (record->kind == 'R' || record->kind == 'M') {
    auto it = out.entries.find(key);
    if (it == out.entries.end()) return;
    if (record->kind == 'R') it->second.table_written = true;
    else it->second.destination = path_from_text(record->text);
  } else {
    out.entries.erase(key);
  }
}

// Reads the journal without following a symbolic link, a line at a time.
JournalContents read_journal(const fs::path& path) {
  JournalContents out;
  File file = File::open(path, {.no_follow = true});
  if (!file.is_open()) {
    if (errno == ENOENT) return out;
    out.unusable = errno == ELOOP ? "is a symbolic link, which is never followed"
                                  : std::string("cannot be read (") + error_text(errno) + ")";
    return out;
  }
  std::optional<FileInfo> st = file.info();
  if (!st || st->kind != FileKind::kRegular) {
    out.unusable = st && st->kind == FileKind::kDirectory ? "is a directory" : "is not a regular file";
    return out;
  }
  PresentFiles present;
  std::string line;
  bool overlong = false;
  int64_t line_number = 0;
  std::vector<char> buffer(64 * 1024);  // not on the stack: threads get small ones
  for (;;) {
    int64_t n = file.read(buffer.data(), buffer.size());
    if (n < 0) out.read_error = error_text(errno);
    if (n <= 0) break;
    out.had_bytes = true;
    std::string_view chunk(buffer.data(), static_cast<std::size_t>(n));
    while (!chunk.empty()) {
      std::size_t end = chunk.find('\n');
      std::string_view piece = chunk.substr(0, end);
      if (!overlong && line.size() + piece.size() <= kMaxRecordBytes) {
        line.append(piece);
      } else if (!overlong) {
        overlong = true;
        line.resize(std::min(line.size(), std::size_t{60}));
      }
      if (end == std::string_view::npos) break;
      chunk.remove_prefix(end + 1);
      ++line_number;
      if (overlong) out.damaged.add("line " + std::to_string(line_number) + ": " + printable_example(line));
      else apply_record(line, line_number, present, out);
      line.clear();
      overlong = false;
    }
  }
  file.close();
  // A record is written whole with its line end; a crash in the middle of one leaves it
  // without: its step never happened.
  if (out.read_error.empty() && (!line.empty() || overlong)) out.cut_short = line.substr(0, 1);
  return out;
}

// One line per problem, in red, saying what follows from it; examples go to the daily log.
void report_reading(GatewayLog& log, const JournalContents& read) {
  const std::string journal = "Job journal " + std::string(JobJournal::kFileName);
  const std::string may_repeat = ": jobs in progress may be sent again";
  if (!read.unusable.empty()) {
    log.Log(journal + " " + read.unusable + may_repeat +
                "; exactly-once delivery across a crash is off until it is mended",
            kRed);
    return;
  }
  if (!read.read_error.empty()) {
    log.Log(journal + " could not be read to its end (" + read.read_error + ")" + may_repeat, kRed);
  }
  if (read.damaged.count > 0) {
    log.Log(journal + ": " + std::to_string(read.damaged.count) +
                (read.damaged.count == 1 ? " damaged line" : " damaged lines") + " skipped" + may_repeat,
            kRed);
    for (const std::string& example : read.damaged.examples) log.WriteDailyLog(journal + ": damaged " + example);
  }
  // An outcome cut short was written after its send: that job goes out again. Any other
  // record cut short announced a step that is simply done again.
  if (read.cut_short == "O") {
    log.Log(journal + ": its last record was cut short by a crash: the job it was written for may be sent again",
            kRed);
  } else if (!read.cut_short.empty()) {
    log.WriteDailyLog(journal + ": its last record was cut short by a crash; its step is done again");
  }
  if (read.skipped.count > 0) {
    std::string examples;
    for (const std::string& file : read.skipped.examples) examples += (examples.empty() ? "" : ", ") + file;
    log.WriteDailyLog(journal + ": " + std::to_string(read.skipped.count) +
                      " outcomes skipped, their job files are no longer there (" + examples +
                      (read.skipped.count > kExamplesShown ? ", ..." : "") + ")");
  }
}

}  // namespace

std::optional<JournalRecord> parse_journal_record(std::string_view line) {
  std::string_view rest = line;
  const std::string_view kind = next_word(rest);
  JournalRecord record;
  record.key = std::string(next_word(rest));
  std::optional<FileIdentity> id = FileIdentity::from_key(record.key);
  if (!id || kind.size() != 1 || std::string_view("ORMF").find(kind[0]) == std::string_view::npos) {
    return std::nullopt;
  }
  record.kind = kind[0];
  record.identity = *id;
  if (record.kind == 'O' &&
      (!parse_number(next_word(rest), record.status) || !parse_number(next_word(rest), record.sent_time))) {
    return std::nullopt;
  }
  if (record.kind == 'O' || record.kind == 'M') record.text = unescape_journal_text(rest);
  return record;
}

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

JobJournal::~JobJournal() = default;

bool JobJournal::open_for_append(std::string& why) {
  if (file_.is_open()) return true;
  // Never through a symbolic link, and never blocked by a FIFO put in its place.
  File file = File::open(path_, {.access = OpenFor::kWrite, .create = Create::kIfMissing, .append = true,
                                 .no_follow = true});
  if (!file.is_open()) {
    why = errno == ELOOP ? "it is a symbolic link, which is never followed" : error_text(errno);
    return false;
  }
  std::optional<FileInfo> st = file.info();
  if (!st || st->kind != FileKind::kRegular) {
    why = "it is not a regular file";
    return false;
  }
  file_ = std::move(file);
  return true;
}

bool JobJournal::append(const std::string& record) {
  // Called with mutex_ held.
  std::string why;
  if (open_for_append(why)) {
    if (file_.write(record) && file_.sync_data()) {
      if (std::exchange(writes_failing_, false)) {
        log_.Log("Job journal " + std::string(kFileName) + " is written again", kBlack);
      }
      return true;
    }
    why = error_text(errno);
  }
  report_write_failure(why);
  return false;
}

void JobJournal::report_write_failure(const std::string& why) {
  // Once until a write succeeds again: a red line per job would bury everything else.
  if (std::exchange(writes_failing_, true)) return;
  log_.Log("ERROR : cannot write the job journal " + std::string(kFileName) + " (" + why +
               "): exactly-once delivery across a crash is off until it is mended",
           kRed);
}

void JobJournal::rewrite(const std::vector<std::string>& records) {
  // Called with mutex_ held. A crash leaves either the old journal or the new one.
  std::string bytes;
  for (const auto& r : records) bytes += r;
  if (!replace_file(path_, bytes)) {
    log_.Log("ERROR : cannot rewrite the job journal " + error_line(last_system_error(path_)), kRed);
    return;
  }
  file_.close();
}

void JobJournal::recover() {
  std::lock_guard lock(mutex_);
  JournalContents read = read_journal(path_);
  report_reading(log_, read);
  // Said at start already: the first write that fails says nothing more.
  if (!read.unusable.empty()) writes_failing_ = true;
  std::map<std::string, Entry>& entries = read.entries;

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
      Removal removal = is_aside ? remove_taken_aside(aside->second) : remove_if_unchanged(path_from_text(e.job_file), e.identity);
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
    FileVersion now = read_file_version(path_from_text(e.job_file));
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
  if (!read.unusable.empty()) return;  // never replaced: someone made it so
  if (read.had_bytes || !records.empty()) rewrite(records);
  // Opened now, so a journal that cannot be written is said at start, not at the first job.
  std::string why;
  if (!open_for_append(why)) report_write_failure(why);
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
  if (live_.empty() && file_.is_open() && file_.truncate(0)) file_.sync_data();
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
