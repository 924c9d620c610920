#include "gateway_process.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qz::bench {

ScratchFolder::ScratchFolder(const std::filesystem::path& parent, const std::string& prefix, bool keep)
    : keep_(keep) {
  std::filesystem::create_directories(parent);
  std::string pattern = (parent / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder in " + parent.string());
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  if (keep_) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

namespace {

// The number after "Key:" at the start of a line of a /proc status file; 0 when missing.
long status_value(const std::string& status, const std::string& key) {
  for (size_t at = 0; at < status.size();) {
    if (status.compare(at, key.size(), key) == 0 && at + key.size() < status.size() &&
        status[at + key.size()] == ':')
      return std::strtol(status.c_str() + at + key.size() + 1, nullptr, 10);
    at = status.find('\n', at);
    if (at == std::string::npos) break;
    ++at;
  }
  return 0;
}

}  // namespace

ProcessSample sample_process(long pid) {
  ProcessSample s;
  const std::filesystem::path proc = "/proc/" + std::to_string(pid);
  std::string stat = read_file(proc / "stat");
  // The command name in parentheses may hold blanks: the fields are counted after it.
  auto close = stat.rfind(')');
  if (close == std::string::npos) return s;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  for (int n = 3; n <= 15 && fields >> field; ++n) {
    if (n == 14) utime = std::stoull(field);
    if (n == 15) stime = std::stoull(field);
  }
  s.cpu_seconds = double(utime + stime) / double(sysconf(_SC_CLK_TCK));

  const std::string status = read_file(proc / "status");
  s.rss_kib = status_value(status, "VmRSS");
  s.hwm_kib = status_value(status, "VmHWM");
  s.threads = int(status_value(status, "Threads"));

  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(proc / "fd", ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec)) {
    ++s.open_fds;
  }
  ec.clear();
  for (const auto& task : std::filesystem::directory_iterator(proc / "task", ec)) {
    std::istringstream sched(read_file(task.path() / "schedstat"));
    unsigned long long run_ns = 0;
    if (sched >> run_ns) s.on_cpu_seconds += double(run_ns) * 1e-9;
    const std::string task_status = read_file(task.path() / "status");
    s.context_switches += status_value(task_status, "voluntary_ctxt_switches") +
                          status_value(task_status, "nonvoluntary_ctxt_switches");
  }
  s.valid = !ec && s.rss_kib > 0;
  return s;
}

GatewayProcess::GatewayProcess(std::filesystem::path program, std::filesystem::path folder,
                               const sim::ModemSimulator& modem, const std::string& config_lines,
                               std::vector<std::string> arguments)
    : program_(std::move(program)), arguments_(std::move(arguments)), folder_(std::move(folder)) {
  for (const char* sub : {"log", "jobs", "done", "error", "tables"})
    std::filesystem::create_directories(folder_ / sub);
  // The same layout as a production instance: job folders inside the instance folder. The
  // first of two equal keys wins, so `config_lines` may name another port.
  write_file(folder_ / "QZGSMS.INI",
             "[Config]\n" + config_lines + "Port=" + modem.slave_path() +
                 "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\nWatchLogPath=tables\n");
}

GatewayProcess::~GatewayProcess() { stop(); }

bool GatewayProcess::start() {
  std::vector<std::string> argv{program_.string()};
  argv.insert(argv.end(), arguments_.begin(), arguments_.end());
  process_ = std::make_unique<ChildProcess>(argv, folder_);
  if (!process_->start()) {
    error_ = "cannot start " + program_.string() + ": " + error_text(process_->error().code);
    process_.reset();
    return false;
  }
  return true;
}

bool GatewayProcess::running() { return process_ && process_->is_running(); }

long GatewayProcess::pid() const { return process_ ? process_->process_id() : 0; }

void GatewayProcess::stop() {
  if (process_) process_->stop();
  process_.reset();
}

std::optional<std::uint32_t> GatewayProcess::terminate(std::chrono::milliseconds limit) {
  if (!running()) return std::nullopt;
  ::kill(pid_t(process_->process_id()), SIGTERM);
  auto end = std::chrono::steady_clock::now() + limit;
  while (process_->is_running()) {
    if (std::chrono::steady_clock::now() > end) {
      stop();
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::uint32_t code = process_->exit_code();
  process_.reset();
  return code;
}

std::string GatewayProcess::daily_log() const {
  std::string all;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder_ / "log", ec)) all += read_file(e.path());
  return all;
}

bool GatewayProcess::wait_until_started(std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (daily_log().find("ReadJobsThread started") != std::string::npos) return true;
    if (!running()) {
      error_ = "the gateway ended during its start-up";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  error_ = "the gateway did not finish its start-up in time";
  return false;
}

}  // namespace qz::bench
