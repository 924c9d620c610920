// The measurements of qzgsms-bench and what each hands to the summary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qz::bench {

struct Options {
  std::filesystem::path gateway;  // the qzgsmsd program
  std::filesystem::path scratch;  // where instance folders and tables are made
  bool keep = false;              // leave them for a look afterwards
  int jobs = 100;                 // pick-up: job files dropped one at a time
  int idle_seconds = 60;          // idle: how long the gateway is watched
  int sends = 20;                 // send: alarms queued by qzgsms-send --wait, one at a time
  std::filesystem::path send;     // send: the qzgsms-send program
  int soak_jobs = 10000;          // soak: job files through the fast-clock gateway
  double soak_speed = 50;         // soak: how much faster than the world its clock runs
  std::filesystem::path fast_gateway;  // soak: qzgsmsd on a fast clock
  // The soak takes minutes and runs only when asked for (--only=soak).
  int idle_instances = 32;        // idle-many: gateways idling side by side
  int gone_seconds = 90;          // modem return: how long the modem stays away
  bool pickup = true, report = true, idle = true, soak = false, idle_many = true, modem_return = true,
       send_wait = true;
};

// Spread of a series of durations, in milliseconds.
struct Spread {
  int count = 0;
  double min = 0, median = 0, p95 = 0, max = 0;
};
Spread spread_of(std::vector<double> values);

struct PickupResult {
  bool ok = false;
  std::string problem;
  double startup_seconds = 0;  // qzgsmsd started -> its job reader runs
  Spread to_first_command;  // rename into the watch folder -> AT+CSMP received
  Spread to_submitted;      // rename -> the text's Ctrl-Z received
  Spread to_filed;          // rename -> the job file seen in done/
  Spread sent_to_filed;     // the text's Ctrl-Z received -> the job file seen in done/
};
PickupResult measure_pickup(const Options& options);

struct SendResult {
  bool ok = false;
  std::string problem;
  Spread to_cmgs;             // qzgsms-send started -> AT+CMGS of its job received
  Spread accepted_to_return;  // the text accepted by the modem -> qzgsms-send --wait ended
};
SendResult measure_send(const Options& options);

struct ReportUpdateResult {
  std::string name;
  long records = 0;
  bool auto_flush = true;
  double seconds_per_update = 0;  // wall time of one whole update
  long long iterations = 0;
};
// Runs the Google Benchmark cases (filtered by --benchmark_filter) and returns them.
std::vector<ReportUpdateResult> measure_report_updates(const Options& options);

struct IdleResult {
  bool ok = false;
  std::string problem;
  double seconds = 0;       // wall time watched
  double cpu_seconds = 0;   // utime + stime used meanwhile
  double on_cpu_seconds = 0;
  long rss_start_kib = 0, rss_end_kib = 0, hwm_kib = 0;
  int threads = 0;
  double wakeups_per_second = 0;  // context switches of all threads
  std::size_t modem_commands = 0; // commands the modem received meanwhile
  std::string command_mix;        // which ones, e.g. "12x AT+CSQ, 4x AT+CMGL"
};
IdleResult measure_idle(const Options& options);

struct IdleManyResult {
  bool ok = false;
  std::string problem;
  int instances = 0;
  double seconds = 0;             // wall time watched
  double cpu_seconds = 0;         // utime + stime of all of them meanwhile
  long rss_kib = 0;               // VmRSS of all of them at the end
  double wakeups_per_second = 0;  // context switches of all of them, per second
};
IdleManyResult measure_idle_many(const Options& options);

struct ModemReturnResult {
  bool ok = false;
  std::string problem;
  int gone_seconds = 0;        // how long the modem was away
  double to_modem_up = 0;      // modem back -> the status file says the modem is up (s)
  double to_first_alarm = 0;   // modem back -> the alarm dropped while it was gone accepted (s)
  int starts = 0;              // gateway starts, the first included (a supervisor restarts it)
  int sent = 0;                // times that alarm was accepted (1 expected)
};
ModemReturnResult measure_modem_return(const Options& options);

struct SoakSample {
  double seconds = 0;  // since the first job was dropped
  int filed = 0;       // job files gone from the watch folder
  int open_fds = 0;
  int threads = 0;
  long rss_kib = 0;
};

struct SoakResult {
  bool ok = false;       // measured, and nothing lost, repeated, misfiled or growing
  std::string problem;   // why not
  int jobs = 0, malformed = 0;
  int faults = 0, faults_met = 0;  // one-shot modem faults set up / answered
  int sends = 0;         // accepted SMS, connected calls, submitted MMS
  int lost = 0;          // sendable jobs neither delivered nor reported failed, or reported sent unsent
  int duplicated = 0;    // jobs delivered more than once
  int failed = 0;        // reported failed after their tries (a fault met at every try)
  std::string failed_kinds;  // which kinds of job those were
  int misfiled = 0;      // filed twice, not at all, in the wrong folder or with other bytes
  int rows_wrong = 0;    // report rows whose status differs from the job's outcome
  int done_files = 0, error_files = 0;
  std::optional<std::uint32_t> exit_code;  // after the final SIGTERM
  double wall_seconds = 0;
  std::vector<SoakSample> samples;
  SoakSample start, middle, end;
  bool flat = false;     // descriptors and threads as at the start, memory within bounds
};
SoakResult measure_soak(const Options& options);

}  // namespace qz::bench
