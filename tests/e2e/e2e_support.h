// The real headless gateway (on a fast clock) as a process of its own in a temporary
// instance folder, with the simulated modem in the test process.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <iostream>

#include "modem/child_process.h"
#include "modemsim/modem_simulator.h"
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

  void start();
  // SIGTERM; returns the exit code.
  int stop();
  // Ends the gateway at once, wherever it is.
  void kill();
  // The running gateway's process id; 0 when none runs.
  long pid() const { return process_ ? process_->process_id() : 0; }

  std::filesystem::path watch() const { return folder / "jobs"; }
  std::filesystem::path done() const { return folder / "done"; }
  std::filesystem::path error() const { return folder / "error"; }
  std::string daily_log() const;

 private:
  std::unique_ptr<ChildProcess> process_;
};

// Names of the files in `folder`, without hidden ones: a filed copy is written under a
// hidden name first and shows only when it is whole.
std::vector<std::string> files_in(const std::filesystem::path& folder);

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
