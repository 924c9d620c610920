// The command line of the gateway's programs. qzgsmsd and the window program qzgsms take
// the same options, each those that apply to it, and answer them the same way:
//
//   --help, -h, /?   the help text on standard output, exit code 0
//   --version, -V    "<program> <version>" on standard output, exit code 0
//   --instance DIR   run in the instance folder DIR instead of the current folder
//   --check          read the settings, say what is wrong, start nothing (qzgsmsd)
//   --status [--json]  how the running gateway is, as a monitoring check (qzgsmsd)
//   --install-service NAME --instance DIR, --remove-service NAME
//                    register or remove the service of an instance (qzgsmsd, Windows)
//   --service NAME   run as that service: for the service manager's command line
//
// Anything else (an option that does not apply, an argument, DIR missing) is a usage error:
// a line on standard error and exit code 2. The settings file stays the only configuration
// of a gateway; the command line only says where it is and what to do with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

enum ProgramOption : unsigned {
  kOptionHelp = 1u << 0,
  kOptionVersion = 1u << 1,
  kOptionInstance = 1u << 2,
  kOptionCheck = 1u << 3,
  kOptionStatus = 1u << 4,  // --status and --json
  kOptionService = 1u << 5,  // --install-service, --remove-service, --service
};

inline constexpr int kExitUsage = 2;

struct ProgramDescription {
  std::string name;     // as it is called: "qzgsmsd"
  std::string summary;  // what it is, a few lines for the help text
  unsigned options = kOptionHelp | kOptionVersion;
};

struct ProgramOptions {
  enum class Action { kRun, kHelp, kVersion, kCheck, kStatus, kInstallService, kRemoveService, kRunService, kUsageError };
  Action action = Action::kRun;
  std::string instance;  // --instance DIR; empty when not given
  bool json = false;     // --json, with --status
  std::string service;   // NAME of --install-service, --remove-service or --service
  std::string error;     // what is wrong, for kUsageError
};

// Parses `args` (the arguments after the program's name). A usage error wins over
// everything; then --help, then --version, then --check, then --status. The service
// options stand alone (--install-service and --service with --instance).
ProgramOptions parse_program_options(const ProgramDescription& program, const std::vector<std::string>& args);

std::string program_help(const ProgramDescription& program);
std::string program_version_line(std::string_view program_name);

// Makes `folder` the current folder, for --instance; the reason when it cannot.
std::optional<std::string> enter_instance_folder(const std::string& folder);

// The whole answer to a command line for a program's main: parses argv, prints the help,
// the version or the usage error, and enters the instance folder. The exit code when the
// program is to end here; nullopt to go on, `options` then saying what to do. A Qt program
// passes argv as QApplication leaves it, without the toolkit's own options.
std::optional<int> handle_program_options(const ProgramDescription& program, int argc, const char* const* argv,
                                          ProgramOptions& options);

}  // namespace qz
