// What a gateway run as a service tells its service manager, and whether its standard
// output is the manager's journal. Started by hand nobody listens: every answer is "no"
// and nothing is sent, so a gateway run from a terminal or console behaves as it always did.
//
// Linux: systemd's notification protocol (sd_notify(3)); NOTIFY_SOCKET, WATCHDOG_USEC and
// JOURNAL_STREAM say whether and how it listens. Windows: the Service Control Manager, once
// qzgsmsd runs as a service (core/service_host.h). Where they differ:
//   - systemd takes a status line and watchdog pings; the Windows manager takes neither but
//     wants a new checkpoint now and then while the service starts or stops
//     (tell_service_progress), or it takes the service for hung.
//   - The end: systemd sees the exit code. The Windows manager is told STOPPED first
//     (tell_service_stopped): 0 as "no error", any other code as a service-specific error,
//     which its recovery answers by starting the service again.
//   - systemd's journal takes every line from standard output. A Windows service has no
//     console: its start, its stop, its red lines and a fatal end go to the event log
//     (Application log, source "qzgsms"), every line still to the daily log.
#pragma once

#include <cstdint>
#include <string>

namespace qz {

// True when a service manager listens.
bool service_manager_listens();

// The gateway runs: the modem answered and the worker threads run ("READY=1"; RUNNING).
// `status` is one line saying how it is.
void tell_service_ready(const std::string& status);
// How it is now ("STATUS="; nothing on Windows).
void tell_service_status(const std::string& status);
// Every worker shows progress ("WATCHDOG=1"; nothing on Windows).
void tell_service_alive();
// Still starting or stopping (nothing for systemd; the next checkpoint on Windows).
void tell_service_progress();
// An orderly stop begins ("STOPPING=1"; STOP_PENDING).
void tell_service_stopping(const std::string& status);
// A window-log line; `red` for the errors and warnings (nothing for systemd, whose
// journal reads standard output; the red ones go to the Windows event log).
void tell_service_line(const std::string& text, bool red);
// The process ends now with `exit_code` (nothing for systemd; STOPPED on Windows, with
// an event-log entry). Called once, right before the end.
void tell_service_stopped(int exit_code);

// How long the manager waits for a ping before it takes the service for hung, in real
// milliseconds; 0 when it does not watch this process.
int64_t service_watchdog_ms();

// True when standard output is the journal's stream (sd-daemon(3): JOURNAL_STREAM holds
// the device and inode of that stream), so a line may begin with its priority "<N>".
bool standard_output_is_journal();

}  // namespace qz
