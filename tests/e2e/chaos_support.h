// Pieces of the chaos test: a plan of job files of every kind, each with a phone number
// and a text of its own so that every send the modem sees can be traced to one job; the
// gateway as a process that can be killed, stopped and started again; report tables made
// for the plan; and the accounting that tells a repeat a SIGKILL may cause from one that
// must never happen.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "modemsim/recording.h"
#include "process/child_process.h"

namespace qz::test::chaos {

using SimTime = sim::SimClock::time_point;

// N, K, T and the seed, from QZGSMS_CHAOS_JOBS, _KILLS, _TERMS and _SEED. Without a seed
// one is drawn, so that every run tries other moments; it is printed either way.
struct ChaosConfig {
  uint64_t seed = 0;
  int jobs = 40;
  int kills = 4;
  int terms = 2;
  static ChaosConfig from_environment();
};

enum class Kind {
  kSms,          // an SMS alarm with its text in the job file
  kKeyedSms,     // an SMS alarm whose text comes from QZAMSG.INI
  kVoice,        // ContentType=VC
  kMms,          // an MMS with one picture
  kMini,         // no scenario: one attempt, no report row
  kUnknownType,  // a scenario but a content type nobody sends: filed as not sent
  kBadRequest,   // never a job: filed under its own name in error/
};
const char* kind_name(Kind kind);

struct Job {
  int index = 0;
  Kind kind = Kind::kSms;
  std::string name;       // in the watch folder
  std::string bytes;      // exactly as dropped
  std::string number;     // dialled form; empty when the file has none
  std::string text;       // what its SMS says
  std::string scenario;   // empty without a report row
  int dbentry = -1;       // zero-based row of the scenario's table

  bool has_row() const { return dbentry >= 0; }
  bool is_bad() const { return kind == Kind::kBadRequest; }
  // Whether an attempt may deliver something to the subscriber.
  bool sends() const { return kind != Kind::kBadRequest && kind != Kind::kUnknownType; }
};

struct Plan {
  std::vector<Job> jobs;
  std::map<std::string, int> rows;  // scenario -> rows its table needs
  std::string alarm_texts;          // QZAMSG.INI
};

// `count` jobs in a shuffled mix: mostly SMS, some calls and MMS, a few mini-messages,
// unknown types and bad requests. The MMS jobs name media\pic.jpg in the instance folder.
Plan make_plan(int count, std::mt19937_64& random);

// The gateway's own extra rows stay untouched; the test checks that they do.
inline constexpr int kSpareRows = 2;
// What every row holds before any report: no status the gateway ever writes.
inline constexpr int kUntouchedStatus = 1;

// A scenario table with `rows` subscribers (STATUS kUntouchedStatus, TY1 "SMS").
void make_report_table(const std::filesystem::path& path, int rows);

struct TableRow {
  int status = -1;
  std::string time;
};
// Every row of the table, or the reason it cannot be read whole: a record that cannot be
// reached, a field that cannot be read, or a record count that differs from `rows`.
struct TableContents {
  std::vector<TableRow> rows;
  std::string problem;
};
TableContents read_report_table(const std::filesystem::path& path, int rows);

// The real headless gateway on the fast clock, as one process after another in the same
// instance folder, the way a supervisor runs it.
class GatewayRun {
 public:
  explicit GatewayRun(std::filesystem::path folder);
  ~GatewayRun();

  void start();
  // False once the process has ended; exit_code() then says how.
  bool running();
  std::uint32_t exit_code() const { return exit_code_; }
  // SIGKILL; returns once the process is gone.
  void kill();
  // SIGTERM and the wait for the end; the exit code, or nothing when it did not end.
  std::optional<std::uint32_t> terminate(std::chrono::milliseconds limit);
  long pid() const { return process_ ? process_->process_id() : 0; }

 private:
  bool wait_gone(std::chrono::milliseconds limit);
  std::filesystem::path folder_;
  std::unique_ptr<ChildProcess> process_;
  std::uint32_t exit_code_ = 0;
};

// Sends the gateway's sanitizer reports into files below `folder` (ChildProcess gives it
// /dev/null for a standard error, and it ends with _exit, so a report would be lost
// otherwise). The test process read its own options at start; only children see these.
class SanitizerReports {
 public:
  explicit SanitizerReports(std::filesystem::path folder);
  ~SanitizerReports();
  // What the gateway processes reported, empty when nothing.
  std::string collected() const;

 private:
  std::filesystem::path folder_;
  std::map<std::string, std::optional<std::string>> saved_;
};

// One delivery the modem took: an accepted SMS, a call it connected, a submitted MMS.
struct Send {
  SimTime at;
  std::string what;  // "SMS", "call", "MMS"
};

struct Deliveries {
  std::map<int, std::vector<Send>> by_job;  // job index -> its sends in time order
  std::vector<std::string> strays;          // sends that belong to no job, or say the wrong thing
  int total = 0;
};
Deliveries attribute_sends(const std::vector<Job>& jobs, const sim::Recording& recording);

// An interruption as the test made it: `at` is when the process was seen gone (SIGKILL) or
// when SIGTERM was sent (a stop lasts until the process is gone at `ended`).
struct Interruption {
  bool kill = true;
  SimTime at;
  SimTime ended;
};

struct RepeatVerdict {
  int repeats = 0;                    // sends beyond the one that counted
  std::vector<std::string> problems;  // repeats no SIGKILL explains
};
// Each send of a job that is not the one its outcome stands on (every send but the last
// of a sent job, every send of a failed one) is a repeat, and needs a SIGKILL of its own
// between it and the next send of that job (or any time after it, when there is no next
// one): a SIGKILL cuts at most the one attempt in progress. `sent` tells, by job index,
// whether the job was reported sent.
RepeatVerdict explain_repeats(const std::map<int, std::vector<Send>>& sends,
                              const std::map<int, bool>& sent, const std::vector<Interruption>& events,
                              const std::vector<Job>& jobs, SimTime origin);

// Every entry of `folder`, hidden ones too (a copy being written, a job file taken aside).
std::vector<std::string> entries_in(const std::filesystem::path& folder);

// "ALARM successfully sent" note at the end of `filed`: the bytes without it, or nothing.
std::optional<std::string> without_success_note(const std::string& filed);

// Whether `filed_name` is `job_name` as filing names it: "%08X-" first when `stamped`,
// and perhaps "-<n>" before the extension when the name was taken.
bool filed_name_matches(const std::string& filed_name, const std::string& job_name, bool stamped);

}  // namespace qz::test::chaos
