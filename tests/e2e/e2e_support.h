// The real headless gateway (on a fast clock) as a process of its own in a temporary
// instance folder, with the simulated modem in the test process.
#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <iostream>

#include "modemsim/modem_simulator.h"
#include "process/child_process.h"
#include "support/eventually.h"
#include "support/temp_folder.h"

namespace qz::test {

class GatewayInstance {
 public:
  GatewayInstance();
  ~GatewayInstance();

  TempFolder folder;
  sim::ModemSimulator modem;

  // Writes QZGSMS.INI: the simulator's port, job folders in the instance folder, quick
  // retries, no incoming poller; `extra` lines ("Key=Value\n") take precedence.
  void write_settings(const std::string& extra = "");
  // Copies a report table fixture to tables/<scenario>.dbf.
  void install_table(const std::string& fixture, const std::string& scenario);
  // Drops a job file the way the alarm application does (written, then renamed in).
  void drop_job(const std::string& name, const std::string& body);

  // `speedup`: how many times faster than the world the gateway's clock runs.
  void start(double speedup = 50.0);
  // Sends `signals` one after the other and waits up to `limit` for the end; the exit
  // code, or -1 when the gateway did not end in time (it is killed then).
  int stop(std::vector<int> signals = {SIGTERM},
           std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Ends the gateway at once, wherever it is.
  void kill();
  // Waits until the gateway takes jobs: its job reader runs, and its watch folder is
  // claimed before that. False when `limit` passes first.
  bool wait_until_taking_jobs(std::chrono::milliseconds limit = std::chrono::seconds(30)) const;
  // The running gateway's process id; 0 when none runs.
  long pid() const { return process_ ? process_->process_id() : 0; }

  // Where the gateway's standard output is appended; it may be made before the start.
  std::filesystem::path output_file() const { return output_ / "stdout.txt"; }
  std::filesystem::path watch() const { return folder / "jobs"; }
  std::filesystem::path done() const { return folder / "done"; }
  std::filesystem::path error() const { return folder / "error"; }
  std::string daily_log() const;
  // The whole lines the gateway printed on standard output (its window log) in all its
  // starts so far, without their date and time.
  std::vector<std::string> window_lines() const;

 private:
  TempFolder output_;  // standard output, kept outside the instance folder
  std::unique_ptr<ChildProcess> process_;
};

// Names of the files in `folder`, without hidden ones: a filed copy is written under a
// hidden name first and shows only when it is whole.
std::vector<std::string> files_in(const std::filesystem::path& folder);

// How often each text was accepted by the modem.
std::map<std::string, int> accepted_texts(const sim::ModemSimulator& modem);

// A simple SMS alarm job.
std::string sms_job(const std::string& phone, const std::string& message, int dbentry,
                    const std::string& szenario = "plant", const std::string& type = "SMS");

// A test with a gateway instance of its own; a failed test shows the gateway's daily log.
class GatewayTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HasFailure()) std::cout << "---- daily log ----\n" << gw.daily_log();
  }
  GatewayInstance gw;
};

}  // namespace qz::test
