#include "service_commands.h"

#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/paths.h"
#include "core/service_host.h"
#include "core/service_manager.h"
#include "core/settings.h"
#include "headless.h"

namespace fs = std::filesystem;

namespace {

void print_lines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

bool settings_name_a_port(const qz::SettingsFile& file) { return !file.read_text("Config", "Port", "", 64).empty(); }

// A usable service name, or the reason on standard error and exit code 2.
bool name_usable(const std::string& name) {
  const std::string problem = qz::service_name_problem(name);
  if (problem.empty()) return true;
  std::fprintf(stderr, "qzgsmsd: %s\n", problem.c_str());
  return false;
}

}  // namespace

int run_install_service(const std::string& name) {
  if (!qz::services_are_registered_here()) return qz::install_service({}).exit_code == 0 ? 0 : 2;
  if (!name_usable(name)) return 2;
  const fs::path instance = fs::current_path();
  qz::SettingsFile file(instance);
  qz::ServiceRegistration r{name, instance, {instance}, {}, settings_name_a_port(file)};
  std::vector<std::string> notes;
  std::error_code ec;
  if (fs::exists(file.path(), ec)) {
    qz::Settings s;
    qz::LoadSettings(file, s);
    const fs::path watch = qz::folder_from_setting(instance, s.WatchPath);
    const fs::path tables = qz::folder_from_setting(instance, s.WatchLogPath);
    // The folders the gateway would make at its first start, made now so that their
    // rights can be set.
    std::set<fs::path> folders{instance / "log", watch, qz::folder_from_setting(instance, s.DonePath),
                               qz::folder_from_setting(instance, s.ErrorPath), tables};
    for (const fs::path& folder : folders) {
      if (!fs::is_directory(folder, ec) && !fs::create_directories(folder, ec) && ec) {
        notes.push_back("Cannot make the folder " + folder.string() + ": " + ec.message());
        continue;
      }
      r.gateway_folders.push_back(folder);
    }
    r.user_folders = {watch, tables};
  } else {
    notes.push_back("No " + std::string(qz::SettingsFile::kFileName) + " in " + instance.string() +
                    ": put the settings there (the example is in the program's examples folder)");
  }
  qz::ServiceCommandOutcome outcome = qz::install_service(r);
  print_lines(outcome.lines);
  print_lines(notes);
  if (outcome.exit_code == 0 && !r.start) {
    print_lines({"Not started: the settings name no Port. Set Port= (COM1, COM2, ...) in " + file.path().string() +
                 ", then start it: net start qzgsmsd-" + name});
  }
  return outcome.exit_code;
}

int run_remove_service(const std::string& name) {
  if (qz::services_are_registered_here() && !name_usable(name)) return 2;
  qz::ServiceCommandOutcome outcome = qz::remove_service(name);
  print_lines(outcome.lines);
  return outcome.exit_code;
}

int run_service(const std::string& name) {
  if (qz::services_are_registered_here() && !name_usable(name)) return 2;
  return qz::run_as_service(name, [] {
    qz::SettingsFile file(fs::current_path());
    if (!settings_name_a_port(file)) {
      // Not the default port: that would send through whatever COM2 is.
      qz::tell_service_line("The settings " + file.path().string() +
                                " name no Port: set Port= (COM1, COM2, ...) there, then start the service",
                            false);
      return 0;
    }
    return run_headless_gateway();
  });
}
