#include "core/startup.h"

#include "core/colours.h"
#include "core/gateway.h"
#include "core/paths.h"
#include "jobs/filing.h"
#include "jobs/job_threads.h"
#include "modem/incoming.h"
#include "modem/signal_thread.h"

namespace qz {

uint32_t nth_processor_mask(uint32_t process_mask, int n) {
  for (int bit = 0; bit < 32; ++bit) {
    uint32_t b = 1u << bit;
    if ((process_mask & b) != 0 && n-- == 0) return b;
  }
  return 0;
}

void start_worker_threads(Gateway& g) {
  // What an earlier run left half done is settled before any job file is read.
  restore_taken_aside(folder_from_setting(g.folder, g.settings.WatchPath));
  g.journal.recover();
  auto start = [&g](void (*body)(Gateway&), const char* started) {
    bool running = g.start_worker([&g, body] { body(g); });
    if (running) g.log.Log(started, kBlue);
    return running;
  };
  start(ReportThread, "ReportThread started");
  // Stopped before it ran: the report thread's last pass must not wait for it.
  if (!start(ProcessingThread, "ProcessingThread started")) g.jobs.processing_ended();
  start(ReadJobsThread, "ReadJobsThread started");
  if (g.settings.IncomingEnable != 0) start(IncomingThread, "IncomingThread started");
  start(SignalThread, "SignalThread started");
}

}  // namespace qz
