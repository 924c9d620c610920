// What a gateway run as a service tells its service manager (systemd's notification
// protocol, sd_notify(3)), and whether its standard output is the manager's journal.
// Without a service manager asking for it (NOTIFY_SOCKET, WATCHDOG_USEC, JOURNAL_STREAM
// unset) every answer is "no" and nothing is sent: a gateway started by hand behaves as
// it always did. A platform without such a manager answers "no" throughout.
#pragma once

#include <cstdint>
#include <string>

namespace qz {

// True when a service manager listens for notifications.
bool service_manager_listens();

// Sends `state`, one or more "NAME=value" lines ("READY=1", "STATUS=...", "WATCHDOG=1",
// "STOPPING=1"); false when nobody listens or the sending failed.
bool notify_service_manager(const std::string& state);

// How long the manager waits for WATCHDOG=1 before it takes the service for hung, in real
// milliseconds; 0 when it does not watch this process.
int64_t service_watchdog_ms();

// True when standard output is the journal's stream (sd-daemon(3): JOURNAL_STREAM holds
// the device and inode of that stream), so a line may begin with its priority "<N>".
bool standard_output_is_journal();

}  // namespace qz
