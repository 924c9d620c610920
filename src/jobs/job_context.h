// What the three job threads share: the modem link they send through (with the settings,
// the log and the instance folder), the table of jobs in progress, the job journal and
// where report-table errors are shown.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "core/error_box.h"
#include "core/gateway_log.h"
#include "core/paths.h"
#include "core/settings.h"
#include "jobs/filed_copies.h"
#include "jobs/job_journal.h"
#include "jobs/job_table.h"
#include "modem/modem_link.h"

namespace qz {

struct JobContext {
  ModemLink& link;
  GatewayLog& log;
  const Settings& settings;
  const std::filesystem::path& folder;
  JobTable& jobs;
  JobJournal& journal;
  ErrorBox* error_box = nullptr;
  // Asked by the reader before each scan: whether this gateway still holds the folder
  // WatchPath names now (it may have been renamed, or deleted and made again). False: no
  // job is taken from it. Not set: always.
  std::function<bool()> holds_watch_folder = {};
  // Jobs filed into the watch folder itself, which the reader passes over.
  FiledCopies filed_copies = {};

  std::filesystem::path watch_folder() const { return folder_from_setting(folder, settings.WatchPath); }
  bool stopping() const { return link.stopping(); }
  bool sleep_ms(int64_t ms) { return link.sleep_ms(ms); }
};

}  // namespace qz
