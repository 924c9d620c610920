// The gateway without a window, for unattended servers. It runs in its instance folder
// (the current folder, or the one --instance names), prints window-log lines to standard
// output (in color on a terminal, with their priority when it is the journal), shows
// report-table errors as red lines, and ends on SIGTERM, SIGINT, SIGHUP or SIGQUIT with
// code 0; a fatal modem failure ends it with code 1, and so does another gateway running on
// its instance folder or serving its watch folder. Run by systemd, it tells it when it is
// ready, alive and stopping (service_watch.h).
#pragma once

// The program qzgsmsd: its command line (--help, --version, --instance DIR, --check,
// --status [--json]; see gateway/program_options.h), then the gateway, the check or the
// status. argv[0] is not looked at.
int qzgsmsd_main(int argc, char** argv);

// The gateway itself, in the current folder.
int run_headless_gateway();

// qzgsmsd --check for the current folder: the start-up lines and what is wrong, on standard
// output; 0 when nothing is, 1 when something is.
int run_settings_check();

// qzgsmsd --status for the current folder: the check's answer (gateway/status_check.h) on
// standard output, plain or as JSON; its exit code is the check's.
int run_status_check(bool json);
