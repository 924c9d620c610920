// Runs one of the built programs as a process of its own and collects what it printed and
// how it ended, for the tests of the command line and of what the programs say.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qz::test {

struct ProgramRun {
  int exit_code = -1;  // 128 + the signal for a process ended by one; -1 when not started
  std::string out;     // standard output
  std::string err;     // standard error
};

struct ProgramSetup {
  std::filesystem::path folder;  // its current folder; the test's own when empty
  // Run as the user nobody (through setpriv), when the tests run as root: permissions are
  // then what they are for the gateway's own user.
  bool unprivileged = false;
  std::chrono::milliseconds timeout = std::chrono::seconds(60);  // then SIGKILL
};

ProgramRun run_program(const std::vector<std::string>& argv, const ProgramSetup& setup = {});

// True once process `pid` blocks SIGTERM, as the gateway's programs do before anything
// else: from then on a stop signal is handled, never the default end. A signal sent
// earlier, while the process is still being loaded, would kill it outright. False when
// `limit` passes first or the process is gone.
bool takes_stop_signals(int pid, std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace qz::test
