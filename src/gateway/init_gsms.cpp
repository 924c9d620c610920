#include <filesystem>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "core/paths.h"
#include "core/process_end.h"
#include "core/settings_check.h"
#include "core/system_error.h"
#include "gateway/folder_claims.h"
#include "gateway/gateway.h"
#include "gateway/startup.h"
#include "gateway/startup_report.h"
#include "gateway/status_file.h"
#include "modem/modem_startup.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace {

constexpr int64_t kHardFailureExitMs = 60000;
constexpr int64_t kCommonFailureExitMs = 10000;

// The ends of a failed start: an outside supervisor starts the gateway again.
bool common_failure(Gateway& g, const std::string& text) {
  g.log.Log(text, kBlack);
  g.log.Log(process_end_notice(kCommonFailureExitMs, 1), kBlack);
  clock().sleep_ms(kCommonFailureExitMs);
  end_process(1);
  return false;
}

// No modem can be reached: the technical alarm, then the pause before the end, in which
// the port is tried again. True when the modem came back and the start goes on.
bool modem_unreachable(Gateway& g, const std::string& text, Color color, int64_t exit_ms) {
  g.log.Log(text, color);
  tech_alarm(g.link);
  g.log.Log(process_end_notice(exit_ms, 1), color);
  if (wait_for_modem_return(g.link, exit_ms)) return true;
  // A stop asked for meanwhile ends the wait: the orderly stop ends the process, with 0,
  // as a stop asked for and not a failure (a service would be started again).
  if (!g.link.stopping()) end_process(1);
  return false;
}

// A gateway that must not run at all: nothing to alarm anyone about, the one that runs
// on the same folder does the work.
bool refused(Gateway& g, const std::string& text) {
  g.log.Log(text, kRed);
  g.log.Log(process_end_notice(kCommonFailureExitMs, 1), kRed);
  clock().sleep_ms(kCommonFailureExitMs);
  end_process(1);
  return false;
}

// One gateway per watch folder: a second one would send every job there again. True when
// this gateway may go on.
bool claim_watch_folder(Gateway& g) {
  const std::filesystem::path watch = folder_from_setting(g.folder, g.settings.WatchPath);
  FolderHolder holder;
  SystemError error;
  switch (g.watch_claim.claim(watch, holder, error)) {
    case FolderLock::Claim::kClaimed:
    case FolderLock::Claim::kOurs:
      return true;
    case FolderLock::Claim::kInUse:
      return refused(g, watch_in_use_text(watch, holder));
    case FolderLock::Claim::kFailed: {
      // A missing folder is reported by the settings check already.
      std::error_code ec;
      if (std::filesystem::is_directory(watch, ec)) {
        g.log.Log("watch folder " + watch.string() + " cannot be locked (" + error_text(error.code) +
                      "): a second gateway on it is not kept out",
                  kRed);
      }
      return true;
    }
  }
  return true;
}

// The block that opens every start: what this instance is and where its folders are, then
// what is wrong with its settings, before the modem is asked anything. False when the
// settings forbid the start: jobs filed into the watch folder would be sent again and again.
bool report_instance(Gateway& g, const SettingsReadOutcome& read) {
  for (const std::string& line : startup_summary(g.settings, g.folder, g.settings_file.path())) {
    g.log.Log(line, kBlack);
  }
  for (const std::string& line : read.adjusted) g.log.Log(line, kRed);
  std::vector<SettingsFinding> findings = check_settings(g.settings_file, g.settings, g.folder, read);
  for (SettingsFinding& finding : check_commands(g.settings, g.folder)) findings.push_back(std::move(finding));
  bool may_start = true;
  for (const SettingsFinding& finding : findings) {
    g.log.Log(finding.text, finding.problem ? kRed : kBlack);
    if (finding.kind == SettingsFinding::kFiledIntoWatchFolder) may_start = false;
  }
  return may_start;
}

}  // namespace

bool init_gsms(Gateway& g, WindowSink* main_window) {
  g.log.register_window(main_window);
  SettingsReadOutcome read;
  ReadSettings(g.settings_file, g.settings, g.folder, nullptr, &read);
  g.link.status.job_late_after.store(job_late_after_seconds(g.settings));
  if (!report_instance(g, read)) {
    return refused(g, "The gateway does not start: a job it files would land in its watch folder and be sent again");
  }
  if (!claim_watch_folder(g)) return false;

  ModemStart started = start_modem(g.link);
  switch (started.outcome) {
    case ModemStart::kReady:
      break;
    case ModemStart::kPortNotOpened:
      if (!modem_unreachable(g, started.failure, kRed, kHardFailureExitMs)) return false;
      break;
    case ModemStart::kNoModem:
      if (!modem_unreachable(g, started.failure, kBlack, kCommonFailureExitMs)) return false;
      break;
    case ModemStart::kFailed:
      return common_failure(g, started.failure);
  }
  // start_modem registered the modem on the network; the signal poll keeps both current.
  g.link.status.modem_up.store(true);
  g.link.status.registered.store(true);
  start_worker_threads(g);
  return true;
}

}  // namespace qz
