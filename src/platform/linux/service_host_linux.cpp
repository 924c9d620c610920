// systemd starts qzgsmsd as it is (qzgsmsd@.service): there is nothing to register and no
// dispatcher to hand the process to.
#include <cstdio>

#include "core/service_host.h"

namespace qz {

namespace {

const char* const kSystemdWay =
    "on Linux, systemd runs the gateway: systemctl enable --now qzgsmsd@NAME (see qzgsmsd(8))";

ServiceCommandOutcome not_here() { return {2, {kSystemdWay}}; }

}  // namespace

bool services_are_registered_here() { return false; }

int run_as_service(const std::string&, const std::function<int()>&) {
  std::fprintf(stderr, "qzgsmsd: %s\n", kSystemdWay);
  return 2;
}

bool running_as_service() { return false; }

ServiceCommandOutcome install_service(const ServiceRegistration&) { return not_here(); }
ServiceCommandOutcome remove_service(const std::string&) { return not_here(); }

}  // namespace qz
