// How a gateway program stops: on a stop signal (stop_signals.h: SIGTERM, SIGINT, SIGHUP
// or SIGQUIT on Linux) or the window's Exit, no new job starts, the send in progress ends
// and what is done is reported, so nothing is sent twice after a restart. A terminal that hangs up or a kill -HUP or -QUIT
// from a script is no reason to cut a send short. qzgsmsd and the window program stop the
// same way.
#pragma once

#include <cstdint>
#include <functional>

namespace qz {

class Gateway;

// The longest a stop waits for the send in progress: an SMS or a voice call (whose hold
// the stop ends) fits, and it stays well under the 90 s after which systemd kills a
// service. An attempt that takes longer (an MMS waiting for its network report) is cut
// short by the exit and may be repeated at the next start.
inline constexpr int64_t kStopLimitMs = 60000;

inline constexpr const char* kStoppingText =
    "Stopping: no new job is started; the send in progress ends and is reported";

// Logs the stop, stops the gateway's workers within kStopLimitMs and says in red when the
// send in progress did not end in time. `still_busy`, when given, is a send started by the
// operator, waited for within the same limit. True when everything ended in time.
bool stop_in_order(Gateway& gateway, const std::function<bool()>& still_busy = {});

// Ends the process with `code` at once, whether the workers ended or not (the stop limit
// ran out, a second stop signal said "now"). A voice call the modem may still hold is hung
// up first, so that no end of the program leaves the modem in a call.
[[noreturn]] void end_gateway_process(Gateway& gateway, int code);

}  // namespace qz
