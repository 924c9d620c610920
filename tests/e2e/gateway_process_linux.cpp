#include <csignal>

#include "e2e/gateway_process.h"
#include "support/run_program.h"

namespace qz::test {

std::vector<std::string> gateway_command(double speedup, const std::filesystem::path& output) {
  // Through a shell that gives its place to the gateway: the same process, its standard
  // output appended to a file.
  return {"/bin/sh", "-c", "exec \"$0\" \"$1\" >>\"$2\"", QZGSMS_FAST_GATEWAY, std::to_string(speedup),
          output.string()};
}

std::string port_setting(const std::string& device) { return device; }

void wait_until_stop_signals_taken(long pid, const std::filesystem::path&, std::chrono::milliseconds limit) {
  takes_stop_signals(static_cast<int>(pid), limit);
}

std::string gateway_path_text(const std::filesystem::path& path) { return path.string(); }

bool gateway_sees_symbolic_links() { return true; }

int stop_signal(int requested) { return requested; }

}  // namespace qz::test
