#include "gateway/gateway.h"

namespace qz {

Gateway::Gateway(std::filesystem::path instance_folder)
    : folder(std::move(instance_folder)),
      settings_file(folder),
      log(folder),
      link(folder, settings_file, settings, log, workers),
      jobs(log),
      journal(folder, log),
      job_context{link, log, settings, folder, jobs, journal} {
  workers.on_stop([this] { jobs.stop_waiting(); });
  link.on_modem_return = [this] { jobs.retry_now(); };
  job_context.holds_watch_folder = [this] { return watch_claim.still_held(job_context.watch_folder(), log); };
}

}  // namespace qz
