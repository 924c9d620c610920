// The Windows gateway under Wine, for the end-to-end tests of the Windows build: the same
// tests, with qzgsmsd.exe on a fast clock in the place of the Linux program.
#include <csignal>
#include <system_error>

#include "e2e/gateway_process.h"
#include "support/eventually.h"

namespace qz::test {

std::vector<std::string> gateway_command(double speedup, const std::filesystem::path& output) {
  return {"/bin/sh", "-c", "exec \"$0\" \"$1\" \"$2\" \"$3\" >>\"$4\"", QZGSMS_WINE_RUN, QZGSMS_WINE_PREFIX,
          QZGSMS_WINDOWS_FAST_GATEWAY, std::to_string(speedup), output.string()};
}

// A COM port of the Wine prefix is a link in its dosdevices folder. Ports from COM10 up
// are ours; a link whose device is gone (its test ended) is taken again.
std::string port_setting(const std::string& device) {
  namespace fs = std::filesystem;
  const fs::path dosdevices = fs::path(QZGSMS_WINE_PREFIX) / "dosdevices";
  for (int n = 10; n <= 256; ++n) {
    const fs::path link = dosdevices / ("com" + std::to_string(n));
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec)) && !fs::exists(link, ec)) fs::remove(link, ec);
    fs::create_symlink(device, link, ec);
    if (!ec) return "COM" + std::to_string(n);
  }
  return device;
}

// Wine has no signal mask to look at; the gateway takes Ctrl+C before its first line.
void wait_until_stop_signals_taken(long, const std::filesystem::path& output, std::chrono::milliseconds limit) {
  eventually([&] {
    std::error_code ec;
    return std::filesystem::file_size(output, ec) > 0 && !ec;
  }, limit);
}

// Wine shows the Unix root as drive Z:.
std::string gateway_path_text(const std::filesystem::path& path) {
  std::string text = "Z:" + path.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

bool gateway_sees_symbolic_links() { return false; }

// Wine turns SIGINT into Ctrl+C for a console program; SIGTERM would end it at once, as
// ending a task does on Windows.
int stop_signal(int requested) { return requested == SIGKILL ? SIGKILL : SIGINT; }

}  // namespace qz::test
