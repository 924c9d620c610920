// One external command started as a process of its own: the technical-alarm command and
// the command run for each received SMS. Every user follows the same sequence: make,
// start, detach, release; the command runs on its own and is never waited for.
//
// The command is an argument vector (see command_line.h) and is started directly, never
// through a shell, with the gateway's environment and the instance folder as its working
// directory. On Linux it gets a new session (so it has no controlling terminal and a
// hang-up or Ctrl-C at the gateway's terminal does not reach it), its standard streams on
// /dev/null, no other open descriptor of the gateway, default signal handling and an
// empty signal mask. On Windows it gets its own process group, minimised in a console of
// its own as asked, and a batch file runs through cmd.exe with every argument guarded
// against cmd.exe's parsing (see windows_command_line.h). process_system.h lists where
// the two systems differ; this class and child_process.cpp are the same on both.
//
// Ended children are always collected, so none is left as a zombie for long: is_running
// and stop collect their own child; a detached child that is still running is handed to
// a process-wide list of pids (Linux), and each later start, detach, release and
// reap_detached_children() collects those that have ended, each by its own pid
// (waitpid(pid, WNOHANG)). Nothing waits on "any child" and SIGCHLD is left alone, so
// other code of the process that starts and waits for children is not disturbed, and no
// thread is added for this. A detached command that ends stays a zombie only until the
// next such call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/system_error.h"
#include "process/process_system.h"

namespace qz {

class ChildProcess {
 public:
  // No command: start fails, is_running is false.
  ChildProcess() = default;
  // `argv[0]` names the command: a name without a slash is looked for in the instance
  // folder first, then in PATH; a name with a slash is a path, relative ones taken from
  // the instance folder. The command runs in the instance folder. An empty
  // `instance_folder` means the current working directory (the gateway's instance
  // folder in production). `command_line` is the readable line for logs (describe(argv)
  // when not given).
  explicit ChildProcess(std::vector<std::string> argv, std::filesystem::path instance_folder = {});
  ChildProcess(std::vector<std::string> argv, std::string command_line,
               std::filesystem::path instance_folder);
  // Release: stops the process if it still runs (a detached one is not held any more).
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the command. False when it cannot be started; error() then holds why: no
  // command (ENOENT), a process started before still runs (EBUSY), an argument holds a
  // NUL byte (EINVAL), or the system's reason (not found, not executable, not a runnable
  // format). `minimized` and `new_console` have no counterpart on Linux: every command
  // gets its new session and no terminal whatever they say.
  bool start(bool minimized = true, bool new_console = true);

  // Lets the process run on its own; this object holds no process afterwards and the
  // exit code is cleared. The ended process is collected later (see above).
  void detach();

  // True only while the process started by start() runs. Once it has ended, the first
  // call collects it, keeps its exit code and lets go of it; later calls are false at once.
  bool is_running();

  // Ends a running process: asks it to end, and ends it if it is still there after half a
  // second (Linux: SIGTERM, then SIGKILL, to its process group, the command and whatever
  // it started; Windows: TerminateProcess of the process alone). Lets go of it either way.
  void stop();

  const std::vector<std::string>& argv() const { return argv_; }
  const std::string& command_line() const { return command_line_; }
  // Why the last start failed (the command's path, or its name when it was not found).
  const SystemError& error() const { return error_; }
  // 0 until is_running has seen the end: the exit status, or 128 + the signal number
  // for a process ended by a signal.
  std::uint32_t exit_code() const { return exit_code_; }
  // The process id while one is held, else 0.
  long process_id() const { return pid_; }

 private:
  bool fail(int code, std::filesystem::path about = {});
  void forget_process();

  std::vector<std::string> argv_;
  std::string command_line_;
  std::filesystem::path instance_folder_;
  SystemError error_;
  std::uint32_t exit_code_ = 0;
  long pid_ = 0;
  process_system::Handle process_ = process_system::kNoProcess;
};

// Where a start would find the command `name` (looked for as the constructor says): 0
// and its path in `found`, or the code the start would fail with (ENOENT when there is
// none; EACCES with the first such file in `found` when it is there but cannot be run).
// One implementation per system (see process_system.h).
int find_command(const std::string& name, const std::filesystem::path& instance_folder, std::string* found);

// Collects every detached command that has ended. Cheap when there is none; a caller
// that runs for long between commands may call it now and then. Nothing to do on
// Windows.
void reap_detached_children();

}  // namespace qz
