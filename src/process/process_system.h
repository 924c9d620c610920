// What ChildProcess needs from the operating system: the only part of it that differs
// between systems, one implementation each in src/platform/<system>/. ChildProcess
// (child_process.cpp) holds what they share: the checks before a start, the state it
// keeps, and stop's pause between asking a command to end and ending it.
//
// Every call that can fail returns the system's code, in POSIX terms (see
// core/system_error.h), or 0 for success.
//
// Where Linux and Windows differ:
//   - Finding a command: PATH entries are separated by ':' on Linux and ';' on Windows,
//     where a name without an extension is also tried with .com, .exe, .bat and .cmd.
//   - Starting: posix_spawn on Linux, in a new session with the standard streams on
//     /dev/null; CreateProcessW on Windows in a new process group (and console, minimised,
//     as asked), a batch file through cmd.exe with every argument guarded
//     (windows_command_line.h).
//   - Ending: SIGTERM, then SIGKILL, to the command's process group on Linux (the command
//     and whatever it started); TerminateProcess of the one process on Windows.
//   - Collecting: an ended Linux child stays a zombie until it is waited for (detached ones
//     are collected later, by pid); on Windows closing the handle is all there is to do.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qz::process_system {

// A started process: its pid on Linux, its process HANDLE on Windows.
using Handle = intptr_t;
inline constexpr Handle kNoProcess = -1;

struct Started {
  Handle process = kNoProcess;
  long pid = 0;
};

// Starts `file` (as find_command found it) with the argument vector `argv` (argv[0] as
// the command was named), detached from the gateway's terminal or console, in `folder`
// (empty: the current folder). `title` names the console window where there is one.
int spawn(const std::string& file, const std::vector<std::string>& argv, const std::string& title,
          const std::filesystem::path& folder, bool minimized, bool new_console, Started& started);

enum class State { kRunning, kEnded, kNotOurs };
// Whether `process` still runs. kEnded: it has ended, `exit_code` holds how (the exit
// status, or 128 + the signal on Linux), and the process is let go of; kNotOurs: it was
// collected elsewhere, nothing is left to hold.
State poll(Handle process, uint32_t& exit_code);

// Asks `process` to end (SIGTERM to its group; TerminateProcess on Windows), and ends one
// that did not listen (SIGKILL to its group; nothing more to do on Windows).
void ask_to_end(Handle process);
void force_end(Handle process);

// Lets go of a process that may still run; it is collected once it ends (see
// reap_detached_children in child_process.h).
void let_go(Handle process);

}  // namespace qz::process_system
