// The three measurements of qzgsms-bench and what each hands to the summary.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qz::bench {

struct Options {
  std::filesystem::path gateway;  // the qzgsmsd program
  std::filesystem::path scratch;  // where instance folders and tables are made
  bool keep = false;              // leave them for a look afterwards
  int jobs = 100;                 // pick-up: job files dropped one at a time
  int idle_seconds = 60;          // idle: how long the gateway is watched
  bool pickup = true, report = true, idle = true;
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
};
PickupResult measure_pickup(const Options& options);

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

}  // namespace qz::bench
