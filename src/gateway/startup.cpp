#include "gateway/startup.h"

#include "core/colours.h"
#include "core/paths.h"
#include "gateway/gateway.h"
#include "jobs/filing.h"
#include "jobs/job_threads.h"
#include "modem/incoming.h"
#include "modem/signal_thread.h"

namespace qz {

void start_worker_threads(Gateway& g) {
  // What an earlier run left half done is settled before any job file is read.
  restore_taken_aside(folder_from_setting(g.folder, g.settings.WatchPath));
  g.journal.recover();

  auto start = [&g](auto body, auto& context, const char* started) {
    bool running = g.workers.start([body, &context] { body(context); });
    if (running) g.log.Log(started, kBlue);
    return running;
  };
  start(ReportThread, g.job_context, "ReportThread started");
  // Stopped before it ran: the report thread's last pass must not wait for it.
  if (!start(ProcessingThread, g.job_context, "ProcessingThread started")) g.jobs.processing_ended();
  start(ReadJobsThread, g.job_context, "ReadJobsThread started");
  if (g.settings.IncomingEnable != 0) start(IncomingThread, g.link, "IncomingThread started");
  start(SignalThread, g.link, "SignalThread started");
}

}  // namespace qz
