// What the three job threads share: the modem link they send through (with the settings,
// the log and the instance folder), the table of jobs in progress, the job journal and
// where report-table errors are shown.
#pragma once

#include <cstdint>
#include <filesystem>

#include "core/error_box.h"
#include "core/gateway_log.h"
#include "core/settings.h"
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

  bool stopping() const { return link.stopping(); }
  bool sleep_ms(int64_t ms) { return link.sleep_ms(ms); }
};

}  // namespace qz
