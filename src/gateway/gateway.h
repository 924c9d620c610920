// One gateway instance, composed: the settings, the log, the modem link the modem services
// run on, the job table and journal the job threads share, and the worker threads. A test
// can make a fresh one in a folder of its own. Front ends read a running gateway through
// FrontEndView (front_end_view.h).
#pragma once

#include <cstdint>
#include <filesystem>

#include "core/error_box.h"
#include "core/gateway_log.h"
#include "core/settings.h"
#include "core/window_sink.h"
#include "core/workers.h"
#include "gateway/watch_folder_claim.h"
#include "jobs/job_context.h"
#include "jobs/job_journal.h"
#include "jobs/job_table.h"
#include "modem/modem_link.h"

namespace qz {

class Gateway {
 public:
  // `instance_folder` holds QZGSMS.INI, log/, the trace file, the journal and the commands.
  explicit Gateway(std::filesystem::path instance_folder);
  Gateway(const Gateway&) = delete;
  Gateway& operator=(const Gateway&) = delete;

  const std::filesystem::path folder;
  SettingsFile settings_file;
  Settings settings;
  GatewayLog log;
  ModemLink link;
  JobTable jobs;
  JobJournal journal;
  JobContext job_context;
  // The watch folder, claimed at start so no second gateway sends its jobs again.
  WatchFolderClaim watch_claim;

  // Report-table errors go here (a box in the window, a red line without one). Set before
  // the start.
  void set_error_box(ErrorBox* box) { job_context.error_box = box; }

  // The orderly stop (a stop signal, the window's Exit, the end of a test): no job is
  // admitted or started any more, the send attempt and the modem exchange in progress end
  // (a call's hold is cut short), and every job that has its outcome is reported. True
  // when all worker threads ended within `limit_ms` gateway milliseconds.
  bool stop_workers(int64_t limit_ms) {
    link.modem.events.stop_waiting();
    return workers.stop(limit_ms);
  }

  // Declared last, so it is destroyed first: its threads stop before what they use goes.
  Workers workers;
};

// Reads the settings, brings the modem up and starts the worker threads, telling
// `main_window` what changes. True on success; on a fatal failure it raises the technical
// alarm where that applies, waits, ends the process through end_process and returns false.
bool init_gsms(Gateway& gateway, WindowSink* main_window);

}  // namespace qz
