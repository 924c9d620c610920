#include <string>

#include "core/clock.h"
#include "core/colours.h"
#include "core/process_end.h"
#include "core/settings_check.h"
#include "gateway/gateway.h"
#include "gateway/startup.h"
#include "gateway/startup_report.h"
#include "modem/modem_startup.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace {

constexpr int64_t kHardFailureExitMs = 60000;
constexpr int64_t kCommonFailureExitMs = 10000;

// The ends of a failed start: an outside supervisor starts the gateway again.
bool hard_failure(Gateway& g, const std::string& text) {
  g.log.Log(text, kRed);
  tech_alarm(g.link);
  g.log.Log(process_end_notice(kHardFailureExitMs, 1), kRed);
  clock().sleep_ms(kHardFailureExitMs);
  end_process(1);
  return false;
}

bool common_failure(Gateway& g, const std::string& text, bool raise_alarm) {
  g.log.Log(text, kBlack);
  if (raise_alarm) tech_alarm(g.link);
  g.log.Log(process_end_notice(kCommonFailureExitMs, 1), kBlack);
  clock().sleep_ms(kCommonFailureExitMs);
  end_process(1);
  return false;
}

// The block that opens every start: what this instance is and where its folders are, then
// what is wrong with its settings, before the modem is asked anything.
void report_instance(Gateway& g, const SettingsReadOutcome& read) {
  for (const std::string& line : startup_summary(g.settings, g.folder, g.settings_file.path())) {
    g.log.Log(line, kBlack);
  }
  for (const std::string& line : read.adjusted) g.log.Log(line, kRed);
  for (const SettingsFinding& finding : check_settings(g.settings_file, g.settings, g.folder, read)) {
    g.log.Log(finding.text, finding.problem ? kRed : kBlack);
  }
}

}  // namespace

bool init_gsms(Gateway& g, WindowSink* main_window) {
  g.log.register_window(main_window);
  SettingsReadOutcome read;
  ReadSettings(g.settings_file, g.settings, g.folder, nullptr, &read);
  report_instance(g, read);

  ModemStart started = start_modem(g.link);
  switch (started.outcome) {
    case ModemStart::kReady:
      break;
    case ModemStart::kPortNotOpened:
      return hard_failure(g, started.failure);
    case ModemStart::kNoModem:
      return common_failure(g, started.failure, true);
    case ModemStart::kFailed:
      return common_failure(g, started.failure, false);
  }
  start_worker_threads(g);
  return true;
}

}  // namespace qz
