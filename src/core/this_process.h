// What a program may ask the operating system about its own process (getpid and isatty on
// Linux; GetCurrentProcessId and the console's mode on Windows).
#pragma once

namespace qz {

// The process id, as other programs and the status file name this process.
long current_process_id();

// True when standard output is a terminal (a person watching: lines may be colored).
bool standard_output_is_terminal();

}  // namespace qz
