// A gateway instance folder for tests: a temporary folder with log/ and tables/, the
// simulated modem on a pseudo-terminal, a fast clock, and settings written into
// QZGSMS.INI before the start (Port points at the simulator, the job folders lie in the
// instance folder). Fatal exits are recorded instead of ending the test.
//
// ModemHarness brings up only the modem side (a ModemLink, no job table); GatewayHarness
// a whole gateway through init_gsms.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/gateway_log.h"
#include "core/settings.h"
#include "core/window_sink.h"
#include "core/workers.h"
#include "gateway/gateway.h"
#include "modem/modem_link.h"
#include "modemsim/modem_simulator.h"
#include "support/temp_folder.h"
#include "support/test_clock.h"

namespace qz::test {

// Records the notification numbers a front end would receive.
class RecordingWindow : public WindowSink {
 public:
  void notify(int number) override;
  int count(int number) const;

 private:
  mutable std::mutex mutex_;
  std::map<int, int> counts_;
};

class InstanceHarness {
 public:
  explicit InstanceHarness(double speedup);
  virtual ~InstanceHarness();

  TempFolder folder;
  FastClock fast_clock;
  sim::ModemSimulator modem;
  RecordingWindow window;

  void set(const std::string& key, const std::string& value);
  // Writes a script `name` into the instance folder that records its arguments, one
  // per line, in `name`.out.
  void install_recording_command(const std::string& name);
  std::string command_output(const std::string& name) const;

  // -1 while the gateway has not asked to end.
  int exit_code() const { return exit_code_.load(); }
  std::string daily_log() const;
  std::vector<std::string> window_lines();
  // Waits (real time) until the daily log holds `text`.
  bool wait_for_log(const std::string& text, std::chrono::milliseconds timeout);

 protected:
  void write_settings();
  virtual GatewayLog* log() = 0;

 private:
  std::map<std::string, std::string> settings_;
  std::atomic<int> exit_code_{-1};
};

// The modem services on the simulated modem, without a job table.
class ModemHarness : public InstanceHarness {
 public:
  explicit ModemHarness(double speedup = 50.0);
  ~ModemHarness() override;

  // Reads the settings, brings the modem up and starts `threads` (SignalThread,
  // IncomingThread); true when the modem came up.
  bool start(const std::vector<void (*)(ModemLink&)>& threads = {});
  // start(), then forgets what the start-up said to the modem and to the window.
  bool start_and_forget_startup(const std::vector<void (*)(ModemLink&)>& threads = {});
  ModemLink& link() { return *link_; }

 protected:
  GatewayLog* log() override { return log_.get(); }

 private:
  std::unique_ptr<SettingsFile> settings_file_;
  Settings settings_;
  std::unique_ptr<GatewayLog> log_;
  std::unique_ptr<ModemLink> link_;
  // Last, so its threads stop before the link they use goes.
  std::unique_ptr<Workers> workers_;
};

// A whole gateway, started with init_gsms.
class GatewayHarness : public InstanceHarness {
 public:
  explicit GatewayHarness(double speedup = 50.0);
  ~GatewayHarness() override;

  // Makes the gateway and runs init_gsms; true when it came up.
  bool start();
  Gateway& gateway() { return *gateway_; }

 protected:
  GatewayLog* log() override { return gateway_ ? &gateway_->log : nullptr; }

 private:
  std::unique_ptr<Gateway> gateway_;
};

}  // namespace qz::test
