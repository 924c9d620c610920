// What a program may ask the operating system about its own process (getpid and isatty on
// Linux; GetCurrentProcessId and the console's mode on Windows).
#pragma once

namespace qz {

// The process id, as other programs and the status file name this process.
long current_process_id();

// True when standard output is a terminal (a person watching: lines may be colored).
bool standard_output_is_terminal();

// True when the program has a console window of its own, which closes with it: Windows
// made one because the program was started from Explorer (a double click), not from a
// command prompt. Never on Linux.
bool console_is_own();

// Waits until a key is pressed in the console (nothing where console_is_own is false).
void wait_for_key();

}  // namespace qz
