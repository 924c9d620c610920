// How the end-to-end tests run the gateway under test: the Linux program itself
// (gateway_process_linux.cpp), or the Windows program under Wine (tests/windows/
// gateway_process_wine.cpp). The tests and the simulator are the same either way.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace qz::test {

// The command that runs the fast-clock gateway in the current folder, its standard output
// appended to `output`; it runs as the process the tests signal and wait for.
std::vector<std::string> gateway_command(double speedup, const std::filesystem::path& output);

// What the `Port` setting says for the simulator's device `device`.
std::string port_setting(const std::string& device);

// Waits (up to `limit`) until the gateway `pid` takes its stop signals, as a supervisor's
// stop would find it.
void wait_until_stop_signals_taken(long pid, const std::filesystem::path& output,
                                   std::chrono::milliseconds limit);

// `path` as the gateway writes it in its lines.
std::string gateway_path_text(const std::filesystem::path& path);

// False where the gateway cannot see a symbolic link the test makes as a link: Wine shows
// a Unix link to a Windows program as the file it points at (Windows' own links are
// reparse points, which the gateway refuses).
bool gateway_sees_symbolic_links();

// The signal that asks the gateway for the stop `requested` (SIGTERM, SIGINT, ...) means.
int stop_signal(int requested);

}  // namespace qz::test
