#include "gateway/program_options.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/paths.h"
#include "core/service_host.h"
#include "core/version.h"

namespace qz {

namespace {

ProgramOptions usage_error(std::string text) {
  ProgramOptions options;
  options.action = ProgramOptions::Action::kUsageError;
  options.error = std::move(text);
  return options;
}

}  // namespace

ProgramOptions parse_program_options(const ProgramDescription& program, const std::vector<std::string>& args) {
  const unsigned allowed = program.options;
  bool help = false;
  bool version = false;
  bool check = false;
  bool status = false;
  bool instance_given = false;
  int service_options = 0;
  ProgramOptions::Action service_action = ProgramOptions::Action::kRun;
  ProgramOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if ((arg == "--help" || arg == "-h" || arg == "/?") && (allowed & kOptionHelp)) {
      help = true;
    } else if ((arg == "--version" || arg == "-V") && (allowed & kOptionVersion)) {
      version = true;
    } else if (arg == "--check" && (allowed & kOptionCheck)) {
      check = true;
    } else if (arg == "--status" && (allowed & kOptionStatus)) {
      status = true;
    } else if (arg == "--json" && (allowed & kOptionStatus)) {
      options.json = true;
    } else if ((arg == "--install-service" || arg == "--remove-service" || arg == "--service") &&
               (allowed & kOptionService)) {
      if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].front() == '-') {
        return usage_error(arg + " needs the service's name: " + arg + " NAME");
      }
      ++service_options;
      service_action = arg == "--install-service"  ? ProgramOptions::Action::kInstallService
                       : arg == "--remove-service" ? ProgramOptions::Action::kRemoveService
                                                   : ProgramOptions::Action::kRunService;
      options.service = args[++i];
    } else if ((arg == "--instance" || arg.starts_with("--instance=")) && (allowed & kOptionInstance)) {
      if (instance_given) return usage_error("--instance given twice");
      instance_given = true;
      if (arg == "--instance") {
        if (i + 1 >= args.size()) return usage_error("--instance needs a folder: --instance DIR");
        options.instance = args[++i];
      } else {
        options.instance = arg.substr(std::string_view("--instance=").size());
      }
      if (options.instance.empty()) return usage_error("--instance needs a folder: --instance DIR");
    } else if (!arg.empty() && arg.front() == '-') {
      return usage_error("unknown option '" + arg + "'");
    } else {
      return usage_error("unexpected argument '" + arg + "'");
    }
  }
  if (options.json && !status) return usage_error("--json goes with --status");
  if (service_options > 1) return usage_error("one service option at a time");
  if (service_options == 1 && !help && !version) {
    if (check || status) return usage_error("--check and --status go without a service option");
    if (service_action == ProgramOptions::Action::kInstallService && !instance_given) {
      return usage_error("--install-service needs the instance folder: --install-service NAME --instance DIR");
    }
    if (service_action == ProgramOptions::Action::kRemoveService && instance_given) {
      return usage_error("--remove-service takes no --instance");
    }
    options.action = service_action;
    return options;
  }
  if (help) options.action = ProgramOptions::Action::kHelp;
  else if (version) options.action = ProgramOptions::Action::kVersion;
  else if (check) options.action = ProgramOptions::Action::kCheck;
  else if (status) options.action = ProgramOptions::Action::kStatus;
  return options;
}

std::string program_help(const ProgramDescription& program) {
  const unsigned allowed = program.options;
  std::string usage = "Usage: " + program.name;
  if (allowed & kOptionInstance) usage += " [--instance DIR]";
  if (allowed & kOptionCheck) usage += " [--check]";
  if (allowed & kOptionStatus) usage += " [--status [--json]]";
  std::string text = usage + "\n";
  if (!program.summary.empty()) text += "\n" + program.summary + "\n";
  text += "\nOptions:\n";
  if (allowed & kOptionInstance) {
    text += "  --instance DIR  run in the instance folder DIR instead of the current folder\n";
  }
  if (allowed & kOptionCheck) {
    text +=
        "  --check         read the settings and say what is wrong, then end: exit code 0\n"
        "                  when all is well, 1 when not; opens no port, writes no file\n";
  }
  if (allowed & kOptionStatus) {
    text +=
        "  --status        say how the gateway running here is, as a monitoring check: exit\n"
        "                  code 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN; writes nothing\n"
        "  --json          with --status: the answer as a JSON object\n";
  }
  if ((allowed & kOptionService) && services_are_registered_here()) {
    text +=
        "  --install-service NAME --instance DIR\n"
        "                  register the Windows service qzgsmsd-NAME for the instance folder\n"
        "                  DIR (started at boot, started again after a failure) and start\n"
        "                  it once DIR\\QZGSMS.INI names a Port; an administrator's command\n"
        "  --remove-service NAME\n"
        "                  stop the service qzgsmsd-NAME in order and remove it; the instance\n"
        "                  folder stays as it is\n"
        "  --service NAME  run as the service qzgsmsd-NAME (the service manager's command)\n";
  }
  if (allowed & kOptionHelp) text += "  -h, --help, /?  show this help and end\n";
  if (allowed & kOptionVersion) text += "  -V, --version   show the version and end\n";
  text +=
      "\nThe instance folder holds the settings, QZGSMS.INI, the log folder, the job journal\n"
      "and the commands; the settings file is the only configuration.\n";
  return text;
}

std::string program_version_line(std::string_view program_name) {
  return std::string(program_name) + " " + std::string(qzgsms_version());
}

std::optional<std::string> enter_instance_folder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::current_path(path_from_text(folder), ec);
  if (ec) return "cannot use the instance folder " + folder + ": " + ec.message();
  return std::nullopt;
}

std::optional<int> handle_program_options(const ProgramDescription& program, int argc, const char* const* argv,
                                          ProgramOptions& options) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  options = parse_program_options(program, args);
  switch (options.action) {
    case ProgramOptions::Action::kUsageError:
      std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.name.c_str(), options.error.c_str(),
                   program.name.c_str());
      return kExitUsage;
    case ProgramOptions::Action::kHelp:
      std::fputs(program_help(program).c_str(), stdout);
      return 0;
    case ProgramOptions::Action::kVersion:
      std::printf("%s\n", program_version_line(program.name).c_str());
      return 0;
    case ProgramOptions::Action::kRun:
    case ProgramOptions::Action::kCheck:
    case ProgramOptions::Action::kStatus:
    case ProgramOptions::Action::kInstallService:
    case ProgramOptions::Action::kRemoveService:
    case ProgramOptions::Action::kRunService:
      break;
  }
  if (!options.instance.empty()) {
    if (auto error = enter_instance_folder(options.instance)) {
      std::fprintf(stderr, "%s: %s\n", program.name.c_str(), error->c_str());
      return kExitUsage;
    }
  }
  return std::nullopt;
}

}  // namespace qz
