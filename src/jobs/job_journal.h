// The job journal: a small append-only file in the instance folder that remembers, across
// a crash or a power cut, which job files have a final outcome but have not been filed
// yet. Each record is appended and flushed to disk before the step it announces:
//
//   O <file> <status> <sent time> <job file>   the outcome is final (nothing more is sent)
//   R <file>                                   the report table holds it
//   M <file> <destination>                     the filed copy is about to appear there
//   F <file>                                   the job file is filed: the entry ends
//
// <file> is the job file's identity (see file_version.h), so a job file rewritten with a
// new alarm never matches the entry of the old one. At start, a job file that matches a
// live entry is reported from it and not sent again; a filing cut short is completed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/files.h"
#include "jobs/file_version.h"

namespace qz {

class GatewayLog;
struct AlarmJob;

class JobJournal {
 public:
  static constexpr const char* kFileName = "qzgsms-jobs.journal";

  struct Entry {
    FileIdentity identity;
    std::string job_file;
    int32_t status = 0;
    int64_t sent_time = 0;
    bool table_written = false;
    std::filesystem::path destination;  // empty until filing starts
  };

  JobJournal(std::filesystem::path instance_folder, GatewayLog& log);
  ~JobJournal();
  JobJournal(const JobJournal&) = delete;
  JobJournal& operator=(const JobJournal&) = delete;

  // Reads what an earlier run left, completes filings it cut short, forgets entries whose
  // job file is gone or was rewritten, and rewrites the journal with what is left. Logs
  // what it finds; what keeps it from reading the journal whole (a symbolic link, a
  // directory, damaged lines) is said in red, with what follows from it. Called once,
  // before the job threads start.
  void recover();

  // The outcome of `job` is final. False when it could not be made durable; the first
  // such failure is said in red, the next ones only once a write has succeeded again.
  bool record_outcome(const AlarmJob& job);
  void record_table_written(const FileIdentity& file);
  void record_destination(const FileIdentity& file, const std::filesystem::path& destination);
  void record_filed(const FileIdentity& file);

  std::optional<Entry> find(const FileIdentity& file) const;
  // Whether the entry was already handed to the report in this run; marks it so.
  bool hand_over(const FileIdentity& file);
  std::size_t live_entries() const;

 private:
  bool append(const std::string& record);
  bool open_for_append(std::string& why);
  void report_write_failure(const std::string& why);
  void rewrite(const std::vector<std::string>& records);

  std::filesystem::path path_;
  GatewayLog& log_;
  mutable std::mutex mutex_;
  File file_;  // open for appending once written to
  bool writes_failing_ = false;  // said in red; quiet until a write succeeds again
  std::map<std::string, Entry> live_;  // by identity key
  std::map<std::string, bool> handed_over_;
};

// One line of the journal as a start reads it (without its line end).
struct JournalRecord {
  char kind = 0;  // 'O', 'R', 'M' or 'F'
  std::string key;  // the job file's identity, as FileIdentity::key() writes it
  FileIdentity identity;
  int32_t status = 0;     // O
  int64_t sent_time = 0;  // O
  std::string text;       // O: the job file; M: the destination (unescaped)
};
// Nullopt for a line that is no record: a damaged journal never gives a value it does not
// hold (a number too long for its field, say).
std::optional<JournalRecord> parse_journal_record(std::string_view line);

// Job-file paths go into one line of the journal: control bytes and '%' are escaped as
// %XX, so a name holding a line break cannot split a record.
std::string escape_journal_text(std::string_view text);
std::string unescape_journal_text(std::string_view text);

}  // namespace qz
