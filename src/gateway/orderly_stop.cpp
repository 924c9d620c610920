#include "gateway/orderly_stop.h"

#include <cstdio>
#include <cstdlib>

#include "core/clock.h"
#include "core/colors.h"
#include "core/service_manager.h"
#include "gateway/gateway.h"
#include "modem/voice_call.h"

namespace qz {

bool stop_in_order(Gateway& gateway, const std::function<bool()>& still_busy) {
  gateway.log.Log(kStoppingText, kBlue);
  const int64_t deadline = clock().steady_ms() + kStopLimitMs;
  bool ended = gateway.stop_workers(kStopLimitMs);
  if (still_busy) {
    while (still_busy() && clock().steady_ms() < deadline) clock().sleep_ms(50);
    ended = ended && !still_busy();
  }
  if (!ended) gateway.log.Log("Stopping: the send in progress did not end in time", kRed);
  return ended;
}

void end_gateway_process(Gateway& gateway, int code) {
  hang_up_before_exit(gateway.link);
  std::fflush(stdout);
  tell_service_stopped(code);
  // Threads are not joined and nothing else is closed: the process ends here.
  std::_Exit(code);
}

}  // namespace qz
