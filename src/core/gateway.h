// The process-wide state of one gateway instance, grouped so that a test can make a
// fresh one in a folder of its own. The gateway's operations take it by reference.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/error_box.h"
#include "core/event.h"
#include "core/gateway_log.h"
#include "core/settings.h"
#include "jobs/job_table.h"
#include "jobs/job_journal.h"
#include "modem/modem_channel.h"

namespace qz {

class SerialPort;

class Gateway {
 public:
  // `instance_folder` holds QZGSMS.INI, log/, the trace file and the command files.
  explicit Gateway(std::filesystem::path instance_folder);
  // Stops the worker threads. The gateway process itself never gets here; tests do.
  ~Gateway();
  Gateway(const Gateway&) = delete;
  Gateway& operator=(const Gateway&) = delete;

  const std::filesystem::path folder;
  SettingsFile settings_file;
  Settings settings;
  GatewayLog log;
  std::unique_ptr<SerialPort> port;
  ModemChannel modem;
  JobTable jobs;
  JobJournal journal;
  // Report-table errors go here (a box in the window, a red line without one).
  ErrorBox* error_box = nullptr;

  // The SMS service centre read from the SIM (and changed by the operator).
  std::string service_centre_number() const;
  int32_t service_centre_type() const;
  void set_service_centre(std::string number, int32_t type);

  // Last signal quality, 0 to 31, for the signal meter.
  std::atomic<int32_t> SignalLevel{0};

  // Starts a worker thread; false once a stop has been asked for.
  bool start_worker(std::function<void()> body);

  // The orderly stop (SIGTERM, SIGINT, the destructor): no job is admitted or started
  // any more, the send attempt and the modem exchange in progress end, and every job
  // that has its outcome is reported. True when all worker threads ended within
  // `limit_ms` gateway milliseconds; they are joined then.
  bool stop_workers(int64_t limit_ms);
  bool stopping() const { return stop_event_.is_set(); }
  // Sleeps `ms` gateway milliseconds; returns early (false) when the gateway stops.
  bool sleep_ms(int64_t ms) { return !stop_event_.wait_ms(ms); }

 private:
  mutable std::mutex service_centre_mutex_;
  std::string service_centre_number_;
  int32_t service_centre_type_ = 0;

  ManualResetEvent stop_event_;
  std::mutex workers_mutex_;
  std::condition_variable worker_ended_;
  int running_workers_ = 0;
  std::vector<std::thread> workers_;
};

// Brings the modem up and starts the worker threads. Returns true on success; on a fatal
// failure it ends the process (through end_process) and returns false.
bool init_gsms(Gateway& gateway, WindowSink* main_window);

}  // namespace qz
