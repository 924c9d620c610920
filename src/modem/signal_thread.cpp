#include "modem/signal_thread.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "core/decimal.h"
#include "core/worker_progress.h"
#include "modem/modem_link.h"
#include "modem/modem_startup.h"
#include "core/process_end.h"
#include "core/window_sink.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace {

constexpr int64_t kShortestPollMs = 1000;
// How long a gateway that lost the modem waits for it to come back before it ends (and the
// alarm has time to leave).
constexpr int64_t kLostModemExitMs = 20000;
// How long the port is opened anew and the start dialogue tried after a fault before the
// modem counts as lost: a USB modem plugged back in, or one that reset itself, is back
// well within it, and raises no technical alarm.
constexpr int64_t kReopenAttemptsMs = 30000;

// The modem is lost: the technical alarm, then a last wait for its return, else the end of
// the process, to be started afresh. True when it came back. The caller holds the modem.
bool modem_lost(ModemLink& link, const std::string& text) {
  link.status.modem_up.store(false);
  link.log.Log(text, kRed);
  tech_alarm(link);
  link.log.Log(process_end_notice(kLostModemExitMs, 1), kRed);
  if (wait_for_modem_return(link, kLostModemExitMs)) return true;
  if (!link.stopping()) end_process(1);
  return false;
}

// After a fault (ModemLink::report_modem_fault): the port opened anew and the start
// dialogue, for up to kReopenAttemptsMs, before the modem counts as lost. True when it is
// back. The caller holds the modem.
bool recover_from_fault(ModemLink& link) {
  if (wait_for_modem_return(link, kReopenAttemptsMs)) return true;
  if (link.stopping()) return false;
  return modem_lost(link, "The modem on port " + link.settings.Port + " is still gone, exiting for reinit");
}

}  // namespace

int parse_signal_level(std::string_view capture) {
  std::size_t at = capture.find("+CSQ:");
  if (at == std::string_view::npos) return 0;
  int level = parse_decimal(capture.substr(std::min(capture.size(), at + 6)));
  // 99 is the standard's "not detectable"; anything else outside 0..31 is a garbled
  // reply, and the meter must never be handed a level it cannot draw.
  return level >= 0 && level <= 31 ? level : 0;
}

void SignalThread(ModemLink& link) {
  ModemChannel& m = link.modem;
  bool registration_failed = false;

  // A period under a second (0, or a value that wrapped when turned into milliseconds)
  // would poll without pause: the modem lock would hardly ever be free and every reply
  // would fill the daily log.
  int64_t period_ms = link.settings.QualityPollEverySecs;
  if (period_ms < kShortestPollMs) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "QualityPollEverySecs gives %lld ms, polling the signal every %lld ms instead",
                  static_cast<long long>(period_ms), static_cast<long long>(kShortestPollMs));
    link.log.WriteDailyLog(line);
    period_ms = kShortestPollMs;
  }

  while (link.wait_for_fault(period_ms)) {
    mark_progress();
    std::unique_lock modem_lock(m.ModemLock);
    bool modem_returned = false;
    if (link.take_modem_fault()) {
      if (!recover_from_fault(link)) return;
      modem_returned = true;
    } else {
      m.start_query_capture();
      m.events.clear(OkEvent);
      m.SendCommand("at+csq", "\r");
      m.WaitOk(2000);  // a reply whose OK is late is still used
      const std::string reply = m.stop_capture();
      // A fault while polling is the recovery's, at once: no level can be read meanwhile.
      if (link.has_modem_fault()) continue;
      int level = parse_signal_level(reply);
      link.SignalLevel.store(level);
      link.status.modem_up.store(reply.find("+CSQ:") != std::string::npos);

      if (level != 0) {
        registration_failed = false;
        link.status.registered.store(true);
      }
      if (level == 0) {
        m.events.clear(OkEvent);
        m.SendCommand("at+cops", "=0,0\r");
        const bool registered = m.WaitOk(10000) == 0;
        link.status.registered.store(registered);
        if (!registered && !link.has_modem_fault()) {
          if (registration_failed) {
            // The lock stays taken: no other exchange starts while the modem is gone.
            if (!modem_lost(link, "Signal lost, exiting for reinit")) return;
            modem_returned = true;
          }
          registration_failed = !modem_returned;
        }
      }
    }
    if (modem_returned) {
      registration_failed = false;
      link.status.modem_up.store(true);
      link.status.registered.store(true);
    }
    modem_lock.unlock();
    // What failed while the modem was gone is tried again now, not after its retry delay.
    if (modem_returned && link.on_modem_return) link.on_modem_return();
    link.log.notify_window(kNotifySignal);
  }
}

}  // namespace qz
