// qzgsmsd's service options (core/service_host.h): --install-service NAME --instance DIR,
// --remove-service NAME, and --service NAME, the command the service manager runs. Each
// returns the program's exit code: 0 done, 1 failed (the lines say why), 2 not on this
// system or a name that cannot be a service's.
#pragma once

#include <string>

// Registers the service of the current folder (the instance folder --instance entered).
int run_install_service(const std::string& name);

int run_remove_service(const std::string& name);

// The gateway of the current folder as the service `name`. Settings that name no Port
// start nothing: the administrator names the modem's port first.
int run_service(const std::string& name);
