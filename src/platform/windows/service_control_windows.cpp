// qzgsmsd.exe as a service of the Windows Service Control Manager: the dispatcher, the
// control handler and the states the manager is told (core/service_host.h,
// core/service_manager.h).
//
// START_PENDING from the first moment, with a new checkpoint at every tick of the main loop
// while the modem dialogue runs; RUNNING once the worker threads run; STOP_PENDING with
// checkpoints through the orderly stop; STOPPED with the exit code, a code other than 0 as
// a service-specific error, so that the failure actions (a restart after 5 s) apply to it.
// Stop, shutdown and pre-shutdown all become the stop request a console's Ctrl+C is.
#include <windows.h>

#include <cstdio>
#include <deque>
#include <mutex>

#include "core/service_host.h"
#include "core/service_manager.h"
#include "platform/windows/event_log.h"
#include "platform/windows/stop_request.h"
#include "platform/windows/windows_text.h"
#include "qzgsms_events.h"

namespace qz {

namespace {

// How long the manager is to wait for the next checkpoint: the main loop ticks every second.
constexpr DWORD kWaitHintMs = 10000;
// Lines the entry of a fatal end shows.
constexpr std::size_t kLastLines = 6;

std::mutex mutex;
SERVICE_STATUS_HANDLE status_handle = nullptr;
SERVICE_STATUS status{};
std::wstring service_name;
std::string instance_folder;
std::function<int()> gateway_body;
int body_exit_code = 0;
bool stop_requested = false;
bool stopped_told = false;
bool ran = false;
std::deque<std::string> last_lines;

// Under `mutex`.
void set_state(DWORD state) {
  if (status_handle == nullptr) return;
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_STOPPED || state == SERVICE_STOP_PENDING
          ? 0
          : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN;
  const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
  status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
  status.dwWaitHint = pending ? kWaitHintMs : 0;
  SetServiceStatus(status_handle, &status);
}

std::string name_text() { return narrow(service_name); }

DWORD WINAPI on_control(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PRESHUTDOWN: {
      std::lock_guard lock(mutex);
      // Once: a second stop request would end the process at once, cutting a send short.
      if (!stop_requested && !stopped_told) {
        stop_requested = true;
        set_state(SERVICE_STOP_PENDING);
        request_stop();
      }
      return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI service_main(DWORD, LPWSTR*) {
  {
    std::lock_guard lock(mutex);
    status_handle = RegisterServiceCtrlHandlerExW(service_name.c_str(), on_control, nullptr);
    if (status_handle == nullptr) return;
    set_state(SERVICE_START_PENDING);
  }
  const int code = gateway_body();
  tell_service_stopped(code);
}

}  // namespace

bool services_are_registered_here() { return true; }

int run_as_service(const std::string& name, const std::function<int()>& gateway) {
  service_name = L"qzgsmsd-" + widen(name);
  gateway_body = gateway;
  wchar_t folder[MAX_PATH * 4];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH * 4, folder);
  instance_folder = narrow(std::wstring_view(folder, length));
  serve_without_console_stops();
  SERVICE_TABLE_ENTRYW table[] = {{service_name.data(), service_main}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    std::fprintf(stderr,
                 "qzgsmsd: --service is the service manager's command: register the service with\n"
                 "  qzgsmsd --install-service %s --instance DIR\n"
                 "and start it with: net start qzgsmsd-%s\n",
                 name.c_str(), name.c_str());
    return 1;
  }
  return body_exit_code;
}

bool running_as_service() { return status_handle != nullptr; }

bool service_manager_listens() { return running_as_service(); }

void tell_service_ready(const std::string&) {
  {
    std::lock_guard lock(mutex);
    if (status_handle == nullptr || stop_requested) return;
    ran = true;
    set_state(SERVICE_RUNNING);
  }
  write_event(QZ_EVENT_RUNNING, {name_text(), instance_folder});
}

void tell_service_status(const std::string&) {}
void tell_service_alive() {}

void tell_service_progress() {
  std::lock_guard lock(mutex);
  if (status.dwCurrentState == SERVICE_START_PENDING || status.dwCurrentState == SERVICE_STOP_PENDING) {
    set_state(status.dwCurrentState);
  }
}

void tell_service_stopping(const std::string&) {
  std::lock_guard lock(mutex);
  stop_requested = true;
  if (status.dwCurrentState != SERVICE_STOP_PENDING) set_state(SERVICE_STOP_PENDING);
}

void tell_service_line(const std::string& text, bool red) {
  {
    std::lock_guard lock(mutex);
    if (status_handle == nullptr) return;
    last_lines.push_back(text);
    if (last_lines.size() > kLastLines) last_lines.pop_front();
  }
  if (red) write_event(QZ_EVENT_LOG_LINE, {name_text(), instance_folder, text});
}

void tell_service_stopped(int exit_code) {
  std::string lines;
  bool had_run = false;
  {
    std::lock_guard lock(mutex);
    if (status_handle == nullptr || stopped_told) return;
    stopped_told = true;
    body_exit_code = exit_code;
    had_run = ran;
    for (const std::string& line : last_lines) lines += line + "\r\n";
  }
  if (exit_code == 0 && had_run) {
    write_event(QZ_EVENT_STOPPED, {name_text(), instance_folder});
  } else if (exit_code == 0) {
    write_event(QZ_EVENT_NOT_STARTED, {name_text(), instance_folder, lines});
  } else {
    write_event(QZ_EVENT_FATAL_END, {name_text(), instance_folder, std::to_string(exit_code), lines});
  }
  std::lock_guard lock(mutex);
  status.dwWin32ExitCode = exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = exit_code == 0 ? 0 : static_cast<DWORD>(exit_code);
  set_state(SERVICE_STOPPED);
}

int64_t service_watchdog_ms() { return 0; }
bool standard_output_is_journal() { return false; }

}  // namespace qz
