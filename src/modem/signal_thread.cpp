#include "modem/signal_thread.h"

#include <mutex>

#include "core/clock.h"
#include "core/colours.h"
#include "core/decimal.h"
#include "core/gateway.h"
#include "core/process_end.h"
#include "core/window_sink.h"
#include "modem/tech_alarm.h"

namespace qz {

int parse_signal_level(std::string_view capture) {
  std::size_t at = capture.find("+CSQ:");
  if (at == std::string_view::npos) return 0;
  int level = parse_decimal(capture.substr(std::min(capture.size(), at + 6)));
  return level == 99 ? 0 : level;
}

void SignalThread(Gateway& g) {
  ModemChannel& m = g.modem;
  bool registration_failed = false;

  while (g.sleep_ms(g.settings.QualityPollEverySecs)) {
    std::unique_lock modem_lock(m.ModemLock);
    m.start_query_capture();
    m.events.clear(OkEvent);
    m.SendCommand("at+csq", "\r");
    m.WaitOk(2000);  // a reply whose OK is late is still used
    int level = parse_signal_level(m.stop_capture());
    g.SignalLevel.store(level);

    if (level != 0) registration_failed = false;
    if (level == 0) {
      m.events.clear(OkEvent);
      m.SendCommand("at+cops", "=0,0\r");
      if (m.WaitOk(10000) != 0) {
        if (registration_failed) {
          // The lock stays taken: no other exchange starts while the gateway goes down.
          g.log.Log("Signal lost, exiting for reinit", kRed);
          tech_alarm(g);
          clock().sleep_ms(20000);
          end_process(1);
          return;
        }
        registration_failed = true;
      }
    }
    modem_lock.unlock();
    g.log.notify_window(kNotifySignal);
  }
}

}  // namespace qz
