// A gateway instance to measure: a scratch instance folder, the real qzgsmsd (on the real
// clock) as a child process, and the simulated modem, which lives in this process so that
// its time stamps can be compared with ours (both are std::chrono::steady_clock, which is
// CLOCK_MONOTONIC for every process on the machine).
#pragma once

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "modemsim/modem_simulator.h"
#include "process/child_process.h"

namespace qz::bench {

// A fresh folder under `parent`, removed with everything in it at the end unless kept.
class ScratchFolder {
 public:
  ScratchFolder(const std::filesystem::path& parent, const std::string& prefix, bool keep);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
  bool keep_;
};

std::string read_file(const std::filesystem::path& path);
// Written and closed; false when it could not be.
bool write_file(const std::filesystem::path& path, const std::string& bytes);

// What the kernel says about a process at one moment. Every thread is counted.
struct ProcessSample {
  bool valid = false;
  double cpu_seconds = 0;      // utime + stime of /proc/<pid>/stat (clock-tick resolution)
  double on_cpu_seconds = 0;   // run time of the threads' schedstat (nanosecond resolution)
  long rss_kib = 0;            // VmRSS
  long hwm_kib = 0;            // VmHWM, the peak resident size since start
  int threads = 0;
  int open_fds = 0;            // entries of /proc/<pid>/fd
  long long context_switches = 0;  // voluntary + involuntary, summed over the threads
};
ProcessSample sample_process(long pid);

class GatewayProcess {
 public:
  // Makes log/, jobs/, done/, error/ and tables/ in `folder` and writes QZGSMS.INI with the
  // modem's port, the job folders and `config_lines` ("Key=Value\n" each, taking precedence). `arguments`
  // go to the program (the fast-clock gateway takes its speed-up; qzgsmsd takes none).
  GatewayProcess(std::filesystem::path program, std::filesystem::path folder,
                 const sim::ModemSimulator& modem, const std::string& config_lines,
                 std::vector<std::string> arguments = {});
  ~GatewayProcess();
  GatewayProcess(const GatewayProcess&) = delete;
  GatewayProcess& operator=(const GatewayProcess&) = delete;

  // Starts qzgsmsd in the instance folder; false with error() when it cannot be started.
  bool start();
  // Waits until the daily log says the job reader runs, i.e. the modem dialogue of the
  // start-up is over and jobs are taken. False when the time passes or the gateway ends.
  bool wait_until_started(std::chrono::milliseconds timeout);
  bool running();
  long pid() const;
  // SIGTERM, then SIGKILL if it lingers.
  void stop();
  // SIGTERM and the wait for the orderly stop: the exit code, or nothing when the gateway
  // did not end within `limit` (it is killed then).
  std::optional<std::uint32_t> terminate(std::chrono::milliseconds limit);

  const std::string& error() const { return error_; }
  std::filesystem::path watch() const { return folder_ / "jobs"; }
  std::filesystem::path done() const { return folder_ / "done"; }
  std::string daily_log() const;

 private:
  std::filesystem::path program_;
  std::vector<std::string> arguments_;
  std::filesystem::path folder_;
  std::unique_ptr<ChildProcess> process_;
  std::string error_;
};

}  // namespace qz::bench
