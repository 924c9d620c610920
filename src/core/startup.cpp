#include "core/startup.h"

#include "core/colours.h"
#include "core/gateway.h"
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
  g.journal.recover();
  auto start = [&g](void (*body)(Gateway&), const char* started) {
    if (g.start_worker([&g, body] { body(g); })) g.log.Log(started, kBlue);
  };
  start(ReportThread, "ReportThread started");
  start(ProcessingThread, "ProcessingThread started");
  start(ReadJobsThread, "ReadJobsThread started");
  if (g.settings.IncomingEnable != 0) start(IncomingThread, "IncomingThread started");
  start(SignalThread, "SignalThread started");
}

}  // namespace qz
