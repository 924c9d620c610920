// The stop signals on Windows: a console control handler. Windows runs it in a thread of
// its own; it counts the request and sets an event the main thread waits on. Ctrl+C and
// Ctrl+Break are then done with. For the console being closed, the user logging off and
// the system shutting down, Windows ends the process as soon as the handler returns, so the
// handler does not return: the process ends when the orderly stop has run (or when Windows'
// own time limit for these requests runs out). A service's stop, shutdown and pre-shutdown
// controls come here as well (stop_request.h); a service takes no log-off or shutdown from
// the console.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "gateway/stop_signals.h"
#include "platform/windows/stop_request.h"

namespace qz {

namespace {

std::mutex pending_mutex;
int pending = 0;
HANDLE pending_event = nullptr;  // set while pending > 0
std::atomic<bool> service = false;

BOOL WINAPI on_control(DWORD request) {
  if (service && (request == CTRL_LOGOFF_EVENT || request == CTRL_SHUTDOWN_EVENT)) return TRUE;
  request_stop();
  switch (request) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return TRUE;
    default: Sleep(INFINITE); return TRUE;
  }
}

HANDLE make_pending_event() {
  static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

}  // namespace

void request_stop() {
  std::lock_guard lock(pending_mutex);
  pending_event = make_pending_event();
  ++pending;
  SetEvent(pending_event);
}

void serve_without_console_stops() { service = true; }

StopSignals StopSignals::take() {
  {
    std::lock_guard lock(pending_mutex);
    pending_event = make_pending_event();
  }
  if (pending_event == nullptr || !SetConsoleCtrlHandler(on_control, TRUE)) return StopSignals(-1);
  return StopSignals(reinterpret_cast<intptr_t>(pending_event));
}

StopSignals::StopSignals(StopSignals&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

StopSignals& StopSignals::operator=(StopSignals&& other) noexcept {
  handle_ = other.handle_;
  other.handle_ = -1;
  return *this;
}

// The handler stays for the process's life: a request during the last steps of the end
// must still not kill it half-way.
StopSignals::~StopSignals() = default;

bool StopSignals::take_one() {
  if (handle_ == -1) return false;
  std::lock_guard lock(pending_mutex);
  if (pending == 0) return false;
  if (--pending == 0) ResetEvent(pending_event);
  return true;
}

}  // namespace qz
