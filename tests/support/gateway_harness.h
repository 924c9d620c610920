// A whole gateway in a temporary instance folder, talking to the simulated modem on a
// pseudo-terminal, on a fast clock. Fatal exits are recorded instead of ending the test.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/gateway.h"
#include "core/window_sink.h"
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

class GatewayHarness {
 public:
  // `speedup` is the clock's; settings are written into QZGSMS.INI before the start:
  // Port points at the simulator, the job folders lie in the instance folder.
  explicit GatewayHarness(double speedup = 50.0);
  ~GatewayHarness();

  TempFolder folder;
  FastClock fast_clock;
  sim::ModemSimulator modem;
  RecordingWindow window;

  void set(const std::string& key, const std::string& value);
  // Writes a script `name` into the instance folder that records its arguments, one
  // per line, in `name`.out.
  void install_recording_command(const std::string& name);
  std::string command_output(const std::string& name) const;

  // Makes the gateway and runs init_gsms; true when it came up.
  bool start();
  // start(), then forgets what the start-up said to the modem and to the window.
  bool start_and_forget_startup();
  Gateway& gateway() { return *gateway_; }

  // -1 while the gateway has not asked to end.
  int exit_code() const { return exit_code_.load(); }
  std::string daily_log() const;
  std::vector<std::string> window_lines();
  // Waits (real time) until the daily log holds `text`.
  bool wait_for_log(const std::string& text, std::chrono::milliseconds timeout);

 private:
  std::map<std::string, std::string> settings_;
  std::unique_ptr<Gateway> gateway_;
  std::atomic<int> exit_code_{-1};
};

}  // namespace qz::test
