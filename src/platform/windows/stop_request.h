// How the service manager's stop reaches the gateway: as a stop signal
// (gateway/stop_signals.h), which the program takes and answers with its orderly stop.
#pragma once

namespace qz {

// Counts one stop request, as Ctrl+C does for a console program.
void request_stop();

// From now on the console's log-off and shutdown events are no stop requests: a service
// outlives the logged-on user, and the service manager tells it of a shutdown itself.
void serve_without_console_stops();

}  // namespace qz
