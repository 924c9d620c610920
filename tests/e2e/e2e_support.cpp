#include "e2e/e2e_support.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "e2e/gateway_process.h"
#include "process/command_line.h"
#include "support/run_program.h"

namespace qz::test {

GatewayInstance::GatewayInstance() {
  std::filesystem::create_directory(folder / "log");
  std::filesystem::create_directory(folder / "tables");
}

GatewayInstance::~GatewayInstance() {
  if (process_) kill();
}

void GatewayInstance::write_settings(const std::string& extra) {
  write_file(folder / "QZGSMS.INI",
             // The first of two equal keys wins: the test's own lines come first.
             "[Config]\n" + extra + "Port=" + port_setting(modem.slave_path()) +
                 "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\nWatchLogPath=tables\n"
                 "IncomingEnable=0\nQualityPollEverySecs=1000\nRetryCount=2\nRetryDelay=2\n");
}

void GatewayInstance::install_table(const std::string& fixture, const std::string& scenario) {
  std::filesystem::copy_file(std::filesystem::path(QZGSMS_FIXTURES_DIR) / "dbf" / fixture,
                             folder / "tables" / (scenario + ".dbf"),
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(folder / "tables" / (scenario + ".dbf"),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

void GatewayInstance::drop_job(const std::string& name, const std::string& body) {
  std::filesystem::create_directories(watch());
  // Written under a short name the mask does not match, whatever the length of `name`.
  write_file(watch() / "dropping.tmp", body);
  std::filesystem::rename(watch() / "dropping.tmp", watch() / name);
}

void GatewayInstance::start(double speedup) {
  process_ = std::make_unique<ChildProcess>(gateway_command(speedup, output_file()), folder.path());
  if (!process_->start()) throw std::runtime_error("cannot start the gateway: " + error_line(process_->error()));
}

int GatewayInstance::stop(std::vector<int> signals, std::chrono::milliseconds limit) {
  if (!process_) return -1;
  // As a supervisor's stop would find it: past loading, taking its stop signals.
  wait_until_stop_signals_taken(process_->process_id(), output_file(), std::chrono::seconds(10));
  for (int signal : signals) ::kill(static_cast<pid_t>(process_->process_id()), stop_signal(signal));
  if (!eventually([this] { return !process_->is_running(); }, limit)) {
    kill();
    return -1;
  }
  int code = static_cast<int>(process_->exit_code());
  process_.reset();
  return code;
}

void GatewayInstance::kill() {
  if (!process_) return;
  ::kill(static_cast<pid_t>(process_->process_id()), SIGKILL);
  eventually([this] { return !process_->is_running(); }, std::chrono::seconds(10));
  process_.reset();
}

bool GatewayInstance::wait_until_taking_jobs(std::chrono::milliseconds limit) const {
  return eventually([this] { return daily_log().find("ReadJobsThread started") != std::string::npos; }, limit);
}

std::string GatewayInstance::daily_log() const {
  std::string all;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(folder / "log", ec)) all += read_file(e.path());
  // qzgsmsd.exe ends its lines the Windows way; the tests look for the lines alone.
  for (std::size_t at; (at = all.find("\r\n")) != std::string::npos;) all.erase(at, 1);
  return all;
}

std::vector<std::string> GatewayInstance::window_lines() const {
  std::string out = read_file(output_file());
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = out.substr(at, end - at);
    lines.push_back(line.size() > 20 ? line.substr(20) : line);  // "dd.mm.yyyy hh:mm:ss "
  }
  return lines;
}

std::vector<std::string> files_in(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = e.path().filename();
    if (name[0] != '.') names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, int> accepted_texts(const sim::ModemSimulator& modem) {
  std::map<std::string, int> texts;
  for (const auto& sms : modem.sms()) {
    if (sms.accepted) ++texts[sms.text];
  }
  return texts;
}

std::string sms_job(const std::string& phone, const std::string& message, int dbentry,
                    const std::string& szenario, const std::string& type) {
  return "[Alarm]\r\nSzenario=" + szenario + "\r\nPhoneNumber=" + phone + "\r\nName=Ann\r\nMessage=" +
         message + "\r\ndbentry=" + std::to_string(dbentry) + "\r\nContentType=" + type + "\r\n";
}

std::vector<std::string> whole_lines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(all.substr(at, end - at));
  }
  return lines;
}

}  // namespace qz::test
