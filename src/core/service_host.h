// qzgsmsd as a service of the system's service manager: run as one, and registered or
// removed as one. One service runs one instance folder, so several modems mean several
// services.
//
// Windows: the Service Control Manager starts "qzgsmsd.exe --service NAME --instance DIR"
// as the service qzgsmsd-NAME, under the service's own virtual account
// (NT SERVICE\qzgsmsd-NAME), started at boot and started again 5 s after any failure, the
// fatal end of a modem failure included. Linux: systemd starts qzgsmsd as it is, through
// the unit qzgsmsd@.service; nothing here applies there, and every call says so.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qz {

// False where the service manager starts qzgsmsd without its help (Linux).
bool services_are_registered_here();

// The reason `name` cannot name a service ("qzgsmsd-" + name), empty when it can: 1 to 40
// letters, digits, '-', '_' or '.'.
std::string service_name_problem(const std::string& name);

// Hands this process to the service manager as the service `name` and runs `gateway` as
// that service; returns its exit code once it returns. 1 with a line on standard error
// when the process was not started by the service manager.
int run_as_service(const std::string& name, const std::function<int()>& gateway);

// True while this process runs as a service.
bool running_as_service();

struct ServiceRegistration {
  std::string name;                   // the service is "qzgsmsd-" + name
  std::filesystem::path instance;     // absolute
  // The folders the gateway writes into (the instance folder, the job, filing and table
  // folders) and, among them, those the alarm application (the logged-on user) writes job
  // files into and reads report tables from.
  std::vector<std::filesystem::path> gateway_folders;
  std::vector<std::filesystem::path> user_folders;
  bool start = false;  // start it once registered
};

// What a registration or a removal said, line by line; exit code 0 when it was done.
struct ServiceCommandOutcome {
  int exit_code = 0;
  std::vector<std::string> lines;
};

// Registers the service, or brings one registered before up to date (same name: the
// program, the instance folder, its recovery and rights are set anew), gives its account
// and the users their rights on the folders, registers the event-log source, and starts it
// when asked. Needs an administrator.
ServiceCommandOutcome install_service(const ServiceRegistration& registration);

// Stops the service in order (waiting for the send in progress) and removes it. The
// instance folder and everything in it stay.
ServiceCommandOutcome remove_service(const std::string& name);

}  // namespace qz
