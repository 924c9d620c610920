// What the modem services need, and nothing more: the serial port and the AT channel with
// its lock and events, the settings, the log, the instance folder (for the commands the
// services start), the SMS service centre, the last signal level, the counts of the status file, and the gateway's stop.
// The services (send_sms, voice_call, send_mms, the signal and incoming threads, the
// technical alarm) take a ModemLink; none of them sees the job table.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/event.h"
#include "core/gateway_log.h"
#include "core/gateway_status.h"
#include "core/settings.h"
#include "core/workers.h"
#include "modem/modem_channel.h"

namespace qz {

class SerialPort;

class ModemLink {
 public:
  // `instance_folder` holds QZGSMS.INI and the command files.
  ModemLink(std::filesystem::path instance_folder, SettingsFile& settings_file, Settings& settings,
            GatewayLog& log, Workers& workers);
  ~ModemLink();
  ModemLink(const ModemLink&) = delete;
  ModemLink& operator=(const ModemLink&) = delete;

  const std::filesystem::path folder;
  SettingsFile& settings_file;
  Settings& settings;
  GatewayLog& log;
  std::unique_ptr<SerialPort> port;  // opened by start_modem
  ModemChannel modem;

  // Last signal quality, 0 to 31, for the signal meter.
  std::atomic<int32_t> SignalLevel{0};

  // Set from the dial until the voice call is known to be over: a process that ends
  // without waiting for voice_call hangs up while it is set (hang_up_before_exit).
  std::atomic<bool> call_may_be_up{false};

  // Counts and states for the status file, kept by the services and the job threads.
  GatewayStatus status;

  // Called when the modem is back after it was gone, for what failed meanwhile to be
  // tried again at once. Set before the workers start.
  std::function<void()> on_modem_return;

  // A fault the modem's own exchanges cannot mend: the device is gone (unplugged, powered
  // off), or the modem will not go back to text mode. Said once, in red; the status says
  // "modem down" at once, and the signal thread opens the port anew and runs the start
  // dialogue again (signal_thread.h). Safe from any thread.
  void report_modem_fault(const std::string& why);
  // The fault reported since the port was last opened, taken away; nullopt when none.
  std::optional<std::string> take_modem_fault();
  bool has_modem_fault() const;
  // The port has just been opened anew: what went wrong with the old one is past.
  void clear_modem_fault() { take_modem_fault(); }
  // Waits up to `ms` gateway milliseconds, or until a fault is reported or the gateway
  // stops; false once it stops.
  bool wait_for_fault(int64_t ms);

  // The reference that joins the parts of one concatenated SMS on the phone: a new one
  // for each message, so parts of two alarms to one phone are never mixed. The last one
  // is kept in [WatchDog] SmsReference of the settings file, so a restart goes on from it
  // instead of starting again where an earlier run began (a fragment left on a phone by
  // a cut attempt would be joined with the next message). Without a kept one, a random start.
  unsigned char next_concatenation_reference();

  // The SMS service centre read from the SIM (and changed by the operator).
  std::string service_centre_number() const;
  int32_t service_centre_type() const;
  void set_service_centre(std::string number, int32_t type);

  // The gateway's stop, for the services that run as threads.
  bool stopping() const { return workers_.stopping(); }
  bool sleep_ms(int64_t ms) { return workers_.sleep_ms(ms); }
  // `wake` ends a wait of a service thread that sleep_ms does not cover (Workers::on_stop).
  void on_stop(std::function<void()> wake) { workers_.on_stop(std::move(wake)); }

 private:
  Workers& workers_;
  mutable std::mutex fault_mutex_;
  std::optional<std::string> fault_;
  ManualResetEvent fault_event_;
  std::once_flag stop_wakes_fault_waits_;
  std::mutex concatenation_mutex_;
  std::optional<unsigned char> concatenation_reference_;
  mutable std::mutex service_centre_mutex_;
  std::string service_centre_number_;
  int32_t service_centre_type_ = 0;
};

}  // namespace qz
