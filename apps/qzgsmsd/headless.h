// The gateway without a window, for unattended servers. It runs in its current folder
// (the instance folder), prints window-log lines to standard output (in colour on a
// terminal), shows report-table errors as red lines, and ends on SIGINT or SIGTERM
// with code 0; a fatal modem failure ends it with code 1.
#pragma once

int run_headless_gateway();
