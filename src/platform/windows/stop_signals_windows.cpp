// The stop signals on Windows: a console control handler. Windows runs it in a thread of
// its own; it counts the request and sets an event the main thread waits on. Ctrl+C and
// Ctrl+Break are then done with. For the console being closed, the user logging off and
// the system shutting down, Windows ends the process as soon as the handler returns, so the
// handler does not return: the process ends when the orderly stop has run (or when Windows'
// own time limit for these requests runs out).
#include <windows.h>

#include <mutex>

#include "gateway/stop_signals.h"

namespace qz {

namespace {

std::mutex pending_mutex;
int pending = 0;
HANDLE pending_event = nullptr;  // set while pending > 0

BOOL WINAPI on_control(DWORD request) {
  {
    std::lock_guard lock(pending_mutex);
    ++pending;
    SetEvent(pending_event);
  }
  switch (request) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return TRUE;
    default: Sleep(INFINITE); return TRUE;
  }
}

}  // namespace

StopSignals StopSignals::take() {
  if (pending_event == nullptr) pending_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
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
