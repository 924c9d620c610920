#include "gateway/startup.h"

#include <set>
#include <string>

#include "core/colors.h"
#include "core/paths.h"
#include "gateway/gateway.h"
#include "jobs/filing.h"
#include "jobs/job_threads.h"
#include "modem/incoming.h"
#include "modem/signal_thread.h"

namespace qz {

namespace {

// Every folder a temporary of the gateway can be left in: the instance folder (the
// journal's) and each folder job files are filed into.
std::set<std::filesystem::path> folders_with_temporaries(const Gateway& g) {
  const Settings& s = g.settings;
  std::set<std::filesystem::path> folders{g.folder};
  for (const std::string* setting : {&s.WatchPath, &s.DonePath, &s.ErrorPath, &s.WatchLogPath}) {
    if (!setting->empty()) folders.insert(folder_from_setting(g.folder, *setting));
  }
  return folders;
}

}  // namespace

void start_worker_threads(Gateway& g) {
  // What an earlier run left half done is settled before any job file is read. The
  // journal goes first: it finds the job files of its entries by identity, under their
  // names or taken aside, and removes those whose filed copy is complete. Whatever else
  // is taken aside is then put back, to be read again.
  g.journal.recover();
  for (const auto& job_file : restore_taken_aside(folder_from_setting(g.folder, g.settings.WatchPath))) {
    g.log.WriteDailyLog(job_file.string() + " was taken aside when an earlier run ended: put back");
  }
  for (const std::filesystem::path& folder : folders_with_temporaries(g)) {
    if (int removed = remove_leftover_temporaries(folder); removed > 0) {
      g.log.WriteDailyLog("Removed " + std::to_string(removed) + " temporary file(s) left in " +
                          folder.string() + " by an earlier run");
    }
  }

  auto start = [&g](auto body, auto& context, const std::string& name) {
    bool running = g.workers.start([body, &context] { body(context); }, name);
    if (running) g.log.Log(name + " started", kBlue);
    return running;
  };
  start(ReportThread, g.job_context, "ReportThread");
  // Stopped before it ran: the report thread's last pass must not wait for it.
  if (!start(ProcessingThread, g.job_context, "ProcessingThread")) g.jobs.processing_ended();
  start(ReadJobsThread, g.job_context, "ReadJobsThread");
  if (g.settings.IncomingEnable != 0) start(IncomingThread, g.link, "IncomingThread");
  start(SignalThread, g.link, "SignalThread");
}

}  // namespace qz
