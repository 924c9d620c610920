// systemd's side of core/service_manager.h, through libsystemd.
#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "core/service_manager.h"

namespace qz {

namespace {

// The variables stay set: the watchdog interval is read from them again.
void notify(const std::string& state) { sd_notify(0, state.c_str()); }

}  // namespace

bool service_manager_listens() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  return socket != nullptr && *socket != '\0';
}

void tell_service_ready(const std::string& status) { notify("READY=1\nSTATUS=" + status); }
void tell_service_status(const std::string& status) { notify("STATUS=" + status); }
void tell_service_alive() { notify("WATCHDOG=1"); }
void tell_service_progress() {}
void tell_service_stopping(const std::string& status) { notify("STOPPING=1\nSTATUS=" + status); }
// The journal reads every line from standard output already.
void tell_service_line(const std::string&, bool) {}
// systemd sees the exit code itself.
void tell_service_stopped(int) {}

int64_t service_watchdog_ms() {
  uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) <= 0) return 0;
  return std::max<int64_t>(1, static_cast<int64_t>(usec / 1000));
}

bool standard_output_is_journal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  uintmax_t device = 0;
  uintmax_t inode = 0;
  if (std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2) return false;
  // Set by the manager for the stream it gave; a standard output redirected since (a shell
  // in between, a pipe into another program) is not the journal any more.
  struct stat out;
  if (fstat(STDOUT_FILENO, &out) != 0) return false;
  return out.st_dev == device && out.st_ino == inode;
}

}  // namespace qz
