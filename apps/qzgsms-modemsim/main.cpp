// qzgsms-modemsim: a simulated GSM modem on a pseudo-terminal.
//
//   qzgsms-modemsim [--scenario FILE] [--link PATH] [--record FILE]
//   qzgsms-modemsim --help | --version (-V)
//
// Prints the device to open as the modem's serial port on standard output (one line),
// optionally makes PATH a symbolic link to it, and answers AT commands until SIGINT or
// SIGTERM. Every command and event is logged with the seconds since start, to standard
// error or to the --record file. The scenario file format is described in
// tools/modemsim/scenario.h.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

#include "core/version.h"
#include "modemsim/modem_simulator.h"
#include "modemsim/scenario.h"

namespace {

void usage(std::ostream& out) {
  out << "usage: qzgsms-modemsim [--scenario FILE] [--link PATH] [--record FILE]\n"
         "  --scenario FILE  behaviour of the modem (key = value lines)\n"
         "  --link PATH      make PATH a symbolic link to the pty device\n"
         "  --record FILE    log every command there instead of standard error\n"
         "  -h, --help       show this help and end\n"
         "  -V, --version    show the version and end\n";
}

struct Options {
  std::string scenario;
  std::string link;
  std::string record;
};

// 0 to go on, else the exit code.
int parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      usage(std::cout);
      return -1;
    }
    if (arg == "-V" || arg == "--version") {
      std::cout << "qzgsms-modemsim " << qz::qzgsms_version() << "\n";
      return -1;
    }
    std::string* target = nullptr;
    if (arg == "--scenario") target = &options.scenario;
    else if (arg == "--link") target = &options.link;
    else if (arg == "--record") target = &options.record;
    if (!target || i + 1 >= argc) {
      std::cerr << "qzgsms-modemsim: " << (target ? "missing value for " : "unknown option ")
                << arg << "\n";
      usage(std::cerr);
      return 2;
    }
    *target = argv[++i];
  }
  return 0;
}

// Replaces an old link of ours, never a regular file someone else put there.
bool make_link(const std::string& link, const std::string& target) {
  std::error_code ec;
  std::filesystem::path path(link);
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
    std::filesystem::remove(path, ec);
  } else if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
    std::cerr << "qzgsms-modemsim: " << link << " exists and is not a symbolic link\n";
    return false;
  }
  std::filesystem::create_symlink(target, path, ec);
  if (ec) {
    std::cerr << "qzgsms-modemsim: cannot create link " << link << ": " << ec.message() << "\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (int code = parse_options(argc, argv, options)) return code < 0 ? 0 : code;

  qz::sim::Scenario scenario;
  if (!options.scenario.empty()) {
    std::string error;
    if (!qz::sim::load_scenario(options.scenario, scenario, error)) {
      std::cerr << "qzgsms-modemsim: " << error << "\n";
      return 2;
    }
  }

  std::unique_ptr<std::ofstream> record_file;
  if (!options.record.empty()) {
    record_file = std::make_unique<std::ofstream>(options.record, std::ios::app);
    if (!*record_file) {
      std::cerr << "qzgsms-modemsim: cannot write " << options.record << "\n";
      return 2;
    }
  }
  std::ostream& record = record_file ? *record_file : std::cerr;

  // The signals are taken by sigwait() below; the simulator's thread must not see them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // A reader that has gone away (a closed log pipe) must not end the modem.
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<qz::sim::ModemSimulator> modem;
  try {
    modem = std::make_unique<qz::sim::ModemSimulator>(scenario.config);
  } catch (const std::system_error& e) {
    std::cerr << "qzgsms-modemsim: cannot open a pseudo-terminal: " << e.what() << "\n";
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  std::mutex record_mutex;
  auto write_record = [&](const std::string& line) {
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f ", seconds);
    std::lock_guard lock(record_mutex);
    record << stamp << line << std::endl;
  };
  modem->set_log_sink(write_record);

  for (const qz::sim::StoredMessage& message : scenario.messages) {
    if (modem->add_message(message) < 0) {
      write_record("store: message for index " + std::to_string(message.index) +
                   " not stored (index taken or out of range)");
    }
  }

  if (!options.link.empty() && !make_link(options.link, modem->slave_path())) return 1;

  std::cout << modem->slave_path() << std::endl;
  write_record("modem on " + modem->slave_path());

  int signal_number = 0;
  while (sigwait(&stop_signals, &signal_number) != 0) {
  }
  write_record(std::string("stopping on ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM"));
  modem->stop();
  modem.reset();

  if (!options.link.empty()) {
    std::error_code ec;
    std::filesystem::path path(options.link);
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
      std::filesystem::remove(path, ec);
  }
  return 0;
}
