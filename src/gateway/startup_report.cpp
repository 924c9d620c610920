#include "gateway/startup_report.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#include "core/paths.h"
#include "core/system_error.h"
#include "core/version.h"
#include "gateway/folder_claims.h"
#include "gateway/port_device.h"
#include "modem/mode_string.h"
#include "modem/modem_startup.h"
#include "modem/port_name.h"
#include "process/child_process.h"
#include "process/command_line.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// A relative device path is opened from the instance folder, the gateway's current folder.
fs::path device_of(const Settings& s, const fs::path& instance_folder) {
  fs::path device = device_path_for_port(s.Port);
  // \\.\COM3 has a root but, to the C++ library on Windows, no root name: it is not relative.
  if (device.empty() || device.is_absolute() || device.has_root_directory()) return device;
  return instance_folder / device;
}

std::string port_text(const Settings& s, const fs::path& instance_folder) {
  if (s.Port.empty()) return "(empty)";
  if (std::optional<int> n = com_port_number(s.Port); n && com_name_is_the_device_name()) {
    return "COM" + std::to_string(*n);
  }
  std::string device = absolute_text(device_of(s, instance_folder));
  return device == s.Port ? s.Port : s.Port + " (" + device + ")";
}

// `gateway_runs`: a gateway runs on this instance and holds the port, which is then only
// looked at, never opened.
void check_port(const Settings& s, const fs::path& instance_folder, bool gateway_runs,
                std::vector<SettingsFinding>& out) {
  const fs::path device = device_of(s, instance_folder);
  const PortDevice look = look_at_port_device(device, !gateway_runs);
  std::string line = "Port " + port_text(s, instance_folder);
  if (look.error == EBUSY && gateway_runs) return;
  if (look.error != 0) line += ": " + open_failure_reason(look.error);
  else if (!look.serial) line += " is not a serial device";
  else return;
  if (std::string suggestion = port_suggestion(s.Port); !suggestion.empty()) line += " \u2014 " + suggestion;
  out.push_back({SettingsFinding::kPortUnusable, line});
}

// Whether another gateway runs on this instance or serves its watch folder. A running
// gateway is no fault of the settings: a check while the service runs is an ordinary
// thing to do. Another instance serving the same watch folder is: this one would not start.
void check_running(const Settings& s, const fs::path& instance_folder, std::vector<SettingsFinding>& out) {
  std::optional<FolderHolder> instance = folder_holder(instance_folder);
  if (instance) out.push_back({SettingsFinding::kInstanceInUse, instance_in_use_text(instance_folder, *instance), false});
  const fs::path watch = folder_from_setting(instance_folder, s.WatchPath);
  std::optional<FolderHolder> watcher = folder_holder(watch);
  if (watcher && (!instance || watcher->pid != instance->pid)) {
    out.push_back({SettingsFinding::kWatchFolderInUse,
                   watch_in_use_text(watch, *watcher) + ": this instance would not start"});
  }
}

}  // namespace

std::vector<SettingsFinding> check_commands(const Settings& s, const fs::path& instance_folder) {
  std::vector<SettingsFinding> out;
  auto check = [&](const std::string& name, const char* lost) {
    std::string found;
    int error = find_command(name, instance_folder, &found);
    // A missing command is said when it is needed: an instance may do without either.
    if (error == 0 || error == ENOENT || error == ENOTDIR) return;
    out.push_back({SettingsFinding::kCommandNotRunnable,
                   name + " (" + found + ") cannot be run (" + error_text(error) + "): " + lost});
  };
  check("qzarun.cmd", "no technical alarm can go out");
  if (s.IncomingEnable != 0) {
    std::vector<std::string> words = split_command_format(s.CmdLineFormat);
    if (!words.empty() && !words.front().empty()) check(words.front(), "received SMS are not handed on");
  }
  if (s.DeliveryReports != 0) check("delivery_report", "delivery reports are logged but not handed on");
  return out;
}

std::vector<std::string> startup_summary(const Settings& s, const fs::path& instance_folder,
                                         const fs::path& settings_path) {
  auto folder = [&](const std::string& setting) { return absolute_text(folder_from_setting(instance_folder, setting)); };
  std::vector<std::string> lines;
  lines.push_back("qzgsms " + std::string(qzgsms_version()) + ", instance folder " + absolute_text(instance_folder));
  lines.push_back("Settings: " + absolute_text(settings_path));
  lines.push_back("Port: " + port_text(s, instance_folder) + ", Mode: " + s.Mode);
  lines.push_back("WatchPath: " + folder(s.WatchPath) + " (FileMask " + s.FileMask + ")");
  if (s.MoveJobToDoneOrErrorPath != 0) {
    lines.push_back("DonePath: " + folder(s.DonePath));
    lines.push_back("ErrorPath: " + folder(s.ErrorPath));
    lines.push_back("WatchLogPath: " + folder(s.WatchLogPath) + " (report tables)");
  } else {
    lines.push_back("WatchLogPath: " + folder(s.WatchLogPath) + " (report tables and every filed job)");
  }
  if (s.DeliveryReports != 0) {
    std::string found;
    lines.push_back(find_command("delivery_report", instance_folder, &found) == 0
                        ? "Delivery reports: on, handed to " + found
                        : "Delivery reports: on, logged only (no command delivery_report)");
  }
  const fs::path log_folder = instance_folder / "log";
  std::error_code ec;
  lines.push_back(fs::is_directory(log_folder, ec)
                      ? "Daily log: " + absolute_text(log_folder)
                      : "Daily log: off (create the folder " + absolute_text(log_folder) + " to turn it on)");
  return lines;
}

int InstanceCheck::problems() const {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [](const SettingsFinding& f) { return f.problem; }));
}

InstanceCheck check_instance(const fs::path& instance_folder) {
  SettingsFile file(instance_folder);
  Settings settings;
  SettingsReadOutcome read = LoadSettings(file, settings);

  InstanceCheck check;
  check.summary = startup_summary(settings, instance_folder, file.path());
  // In the order a start logs them.
  for (const std::string& line : read.adjusted) check.findings.push_back({SettingsFinding::kValueAdjusted, line});
  for (SettingsFinding& finding : check_settings(file, settings, instance_folder, read)) {
    check.findings.push_back(std::move(finding));
  }
  if (!parse_mode_string(settings.Mode, LineSettings{})) {
    check.findings.push_back({SettingsFinding::kModeUnreadable, unreadable_mode_text(settings.Mode)});
  }
  check_port(settings, instance_folder, folder_holder(instance_folder).has_value(), check.findings);
  for (SettingsFinding& finding : check_commands(settings, instance_folder)) check.findings.push_back(std::move(finding));
  check_running(settings, instance_folder, check.findings);
  return check;
}

}  // namespace qz
