#include <string>

#include "core/clock.h"
#include "core/colours.h"
#include "core/process_end.h"
#include "gateway/gateway.h"
#include "gateway/startup.h"
#include "modem/modem_startup.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace {

// The ends of a failed start: an outside supervisor starts the gateway again.
bool hard_failure(Gateway& g, const std::string& text) {
  g.log.Log(text, kRed);
  tech_alarm(g.link);
  clock().sleep_ms(60000);
  end_process(1);
  return false;
}

bool common_failure(Gateway& g, const std::string& text) {
  g.log.Log(text, kBlack);
  clock().sleep_ms(10000);
  end_process(1);
  return false;
}

}  // namespace

bool init_gsms(Gateway& g, WindowSink* main_window) {
  g.log.register_window(main_window);
  ReadSettings(g.settings_file, g.settings, g.folder, &g.log);

  ModemStart started = start_modem(g.link);
  switch (started.outcome) {
    case ModemStart::kReady:
      break;
    case ModemStart::kPortNotOpened:
      return hard_failure(g, started.failure);
    case ModemStart::kNoModem:
      tech_alarm(g.link);
      return common_failure(g, started.failure);
    case ModemStart::kFailed:
      return common_failure(g, started.failure);
  }
  start_worker_threads(g);
  return true;
}

}  // namespace qz
