// Registering and removing the service of an instance (core/service_host.h).
//
// The account: the service's own virtual account, NT SERVICE\qzgsmsd-NAME. It has no
// password to keep, no rights beyond those of a standard user, and it is one account per
// instance, so that the rights on an instance's folders name exactly the one service that
// needs them (LocalService would share them with every other service that runs as it). Its
// only privilege is the one every process needs to walk folders. The gateway needs no
// more: a COM port opens for any account, and the commands it starts run as it.
//
// The folders: the account gets Modify on the folders the gateway writes into, and the
// local Users group (the alarm application runs as the logged-on user) Modify on the
// folders it drops job files into and reads report tables from, both inherited below.
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <thread>

#include "core/service_host.h"
#include "core/system_error.h"
#include "platform/windows/event_log.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/windows_text.h"
#include "process/windows_command_line.h"

namespace qz {

namespace {

// A failure action's delay, as the Linux unit's RestartSec; the count of failures is
// forgotten after a day without one.
constexpr DWORD kRestartDelayMs = 5000;
constexpr DWORD kFailureCountResetS = 24 * 60 * 60;
// The orderly stop waits up to 60 s for the send in progress; shutdown is asked to wait a
// little longer than that.
constexpr DWORD kPreshutdownMs = 75000;
// How long a removal waits for the orderly stop before it gives up waiting.
constexpr DWORD kStopWaitMs = 90000;

struct ServiceHandle {
  SC_HANDLE h = nullptr;
  explicit ServiceHandle(SC_HANDLE handle) : h(handle) {}
  ~ServiceHandle() {
    if (h) CloseServiceHandle(h);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
};

std::string last_error_text() { return error_text(errno_from_windows(GetLastError())); }

std::wstring service_of(const std::string& name) { return L"qzgsmsd-" + widen(name); }

ServiceCommandOutcome failed(ServiceCommandOutcome out, const std::string& what) {
  const DWORD code = GetLastError();
  std::string line = what + ": " + error_text(errno_from_windows(code));
  if (code == ERROR_ACCESS_DENIED) line += " (run it from a command prompt opened as administrator)";
  out.lines.push_back(line);
  out.exit_code = 1;
  return out;
}

std::wstring program_path() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

// Gives `sid` Modify on `folder`, inherited by everything below it.
bool grant_modify(const std::filesystem::path& folder, PSID sid) {
  PACL old_acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old_acl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  EXPLICIT_ACCESS_W access{};
  access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
  PACL new_acl = nullptr;
  DWORD result = SetEntriesInAclW(1, &access, old_acl, &new_acl);
  if (result == ERROR_SUCCESS) {
    result = SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, new_acl, nullptr);
    LocalFree(new_acl);
  }
  LocalFree(descriptor);
  return result == ERROR_SUCCESS;
}

// The SID of `account`, or nothing when the system does not know it.
std::string account_sid(const std::wstring& account, std::basic_string<BYTE>& sid) {
  DWORD sid_size = 0;
  DWORD domain_size = 0;
  SID_NAME_USE use;
  LookupAccountNameW(nullptr, account.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
  if (sid_size == 0) return last_error_text();
  sid.resize(sid_size);
  std::wstring domain(domain_size, L'\0');
  if (!LookupAccountNameW(nullptr, account.c_str(), sid.data(), &sid_size, domain.data(), &domain_size, &use)) {
    return last_error_text();
  }
  return {};
}

void grant_folders(const ServiceRegistration& r, const std::wstring& account, ServiceCommandOutcome& out) {
  std::basic_string<BYTE> service_sid;
  if (std::string problem = account_sid(account, service_sid); !problem.empty()) {
    out.lines.push_back("Rights on the folders not given: the account " + narrow(account) + " is unknown (" +
                        problem + ")");
  } else {
    for (const std::filesystem::path& folder : r.gateway_folders) {
      if (!grant_modify(folder, service_sid.data())) {
        out.lines.push_back("Could not give " + narrow(account) + " Modify on " + narrow(folder.native()) + ": " +
                            last_error_text());
      }
    }
  }
  BYTE users[SECURITY_MAX_SID_SIZE];
  DWORD users_size = sizeof users;
  if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &users_size)) return;
  for (const std::filesystem::path& folder : r.user_folders) {
    if (!grant_modify(folder, users)) {
      out.lines.push_back("Could not give Users Modify on " + narrow(folder.native()) + ": " + last_error_text());
    }
  }
}

// The source "qzgsms" of the Application log, with this program's message table.
bool register_event_source(const std::wstring& program) {
  HKEY key = nullptr;
  const std::wstring path = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + kEventSource;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  bool ok = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                           static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  ok = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types) ==
           ERROR_SUCCESS &&
       ok;
  RegCloseKey(key);
  return ok;
}

// Recovery, shutdown time, description and the one privilege. What a system does not
// take is said and left: the service runs without it.
void configure(SC_HANDLE service, const ServiceRegistration& r, ServiceCommandOutcome& out) {
  std::wstring description = L"Delivers the alarms of the job files of the instance folder " +
                             r.instance.native() +
                             L" through its GSM modem (SMS, MMS, voice call) and reports them. Settings: QZGSMS.INI "
                             L"in that folder.";
  SERVICE_DESCRIPTIONW text{description.data()};
  ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text);

  SC_ACTION restart{SC_ACTION_RESTART, kRestartDelayMs};
  SERVICE_FAILURE_ACTIONSW actions{};
  actions.dwResetPeriod = kFailureCountResetS;
  actions.cActions = 1;  // the last action repeats for every later failure
  actions.lpsaActions = &restart;
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions)) {
    out.lines.push_back("Recovery not set (" + last_error_text() + "): nothing starts the service after a failure");
  }
  // The fatal end after a modem failure is an exit with a service-specific error, not a
  // crash: the restart is to answer it too.
  SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag)) {
    out.lines.push_back("Recovery after a modem failure not set (" + last_error_text() + ")");
  }
  SERVICE_PRESHUTDOWN_INFO preshutdown{kPreshutdownMs};
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown)) {
    out.lines.push_back("Time for the stop at shutdown not set (" + last_error_text() + ")");
  }
  SERVICE_SID_INFO sid{SERVICE_SID_TYPE_UNRESTRICTED};
  ChangeServiceConfig2W(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sid);
  wchar_t privileges[] = L"SeChangeNotifyPrivilege\0";
  SERVICE_REQUIRED_PRIVILEGES_INFOW required{privileges};
  ChangeServiceConfig2W(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &required);
}

SERVICE_STATUS_PROCESS query(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS state{};
  DWORD needed = 0;
  QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&state), sizeof state, &needed);
  return state;
}

}  // namespace

ServiceCommandOutcome install_service(const ServiceRegistration& r) {
  ServiceCommandOutcome out;
  const std::wstring name = service_of(r.name);
  const std::wstring program = program_path();
  const std::wstring command = widen(quote_program_argument(narrow(program)) + " --service " + r.name +
                                     " --instance " + quote_program_argument(narrow(r.instance.native())));
  const std::wstring display = L"qzgsms alarm gateway " + widen(r.name) + L" (" + r.instance.native() + L")";
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
  if (!manager.h) return failed(out, "Cannot reach the service manager");

  std::wstring account = L"NT SERVICE\\" + name;
  bool updated = false;
  SC_HANDLE created = CreateServiceW(manager.h, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                     command.c_str(), nullptr, nullptr, nullptr, account.c_str(), nullptr);
  if (created == nullptr && GetLastError() == ERROR_INVALID_SERVICE_ACCOUNT) {
    // A Windows without virtual accounts.
    account = L"NT AUTHORITY\\LocalService";
    created = CreateServiceW(manager.h, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                             SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                             account.c_str(), L"");
  }
  if (created == nullptr && GetLastError() == ERROR_SERVICE_EXISTS) {
    created = OpenServiceW(manager.h, name.c_str(), SERVICE_ALL_ACCESS);
    if (created == nullptr) return failed(out, "Cannot open the service " + narrow(name));
    if (!ChangeServiceConfigW(created, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                              command.c_str(), nullptr, nullptr, nullptr, account.c_str(), nullptr,
                              display.c_str())) {
      CloseServiceHandle(created);
      return failed(out, "Cannot bring the service " + narrow(name) + " up to date");
    }
    updated = true;
  }
  if (created == nullptr) return failed(out, "Cannot register the service " + narrow(name));
  ServiceHandle service(created);
  out.lines.push_back(std::string(updated ? "Brought up to date" : "Registered") + " the service " + narrow(name) +
                      ", started at boot, as " + narrow(account) + ": " + narrow(command));
  configure(service.h, r, out);
  grant_folders(r, account, out);
  if (!register_event_source(program)) {
    out.lines.push_back("The event-log source qzgsms is not registered (" + last_error_text() +
                        "): Event Viewer cannot word the service's entries");
  }

  if (!r.start) return out;
  if (query(service.h).dwCurrentState != SERVICE_STOPPED) {
    out.lines.push_back("The service runs already: what changed applies from its next start");
  } else if (!StartServiceW(service.h, 0, nullptr)) {
    return failed(out, "Cannot start the service " + narrow(name));
  } else {
    out.lines.push_back("Started the service: it runs once the modem has answered (see the daily log)");
  }
  return out;
}

ServiceCommandOutcome remove_service(const std::string& service_name) {
  ServiceCommandOutcome out;
  const std::wstring name = service_of(service_name);
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.h) return failed(out, "Cannot reach the service manager");
  ServiceHandle service(OpenServiceW(manager.h, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service.h) return failed(out, "No service " + narrow(name) + " to remove");

  if (query(service.h).dwCurrentState != SERVICE_STOPPED) {
    SERVICE_STATUS stopping{};
    ControlService(service.h, SERVICE_CONTROL_STOP, &stopping);
    out.lines.push_back("Stopping " + narrow(name) + " in order (the send in progress ends first)...");
    const ULONGLONG deadline = GetTickCount64() + kStopWaitMs;
    // The manager tells no end of a stop; its state is looked at until it says STOPPED.
    while (query(service.h).dwCurrentState != SERVICE_STOPPED && GetTickCount64() < deadline) Sleep(250);
    if (query(service.h).dwCurrentState != SERVICE_STOPPED) {
      out.lines.push_back("It has not stopped yet: it is removed once it has");
    }
  }
  if (!DeleteService(service.h) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
    return failed(out, "Cannot remove the service " + narrow(name));
  }
  out.lines.push_back("Removed the service " + narrow(name) + "; its instance folder stays as it is");
  return out;
}

}  // namespace qz
