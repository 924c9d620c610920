#include "gateway/startup_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/paths.h"
#include "core/version.h"
#include "modem/mode_string.h"
#include "modem/modem_startup.h"
#include "modem/port_name.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

std::string absolute_text(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  return (ec ? path : absolute).lexically_normal().string();
}

// A relative device path is opened from the instance folder, the gateway's current folder.
fs::path device_of(const Settings& s, const fs::path& instance_folder) {
  fs::path device = device_path_for_port(s.Port);
  return device.is_relative() && !device.empty() ? instance_folder / device : device;
}

std::string port_text(const Settings& s, const fs::path& instance_folder) {
  if (s.Port.empty()) return "(empty)";
  std::string device = absolute_text(device_of(s, instance_folder));
  return device == s.Port ? s.Port : s.Port + " (" + device + ")";
}

void check_port(const Settings& s, const fs::path& instance_folder, std::vector<SettingsFinding>& out) {
  const fs::path device = device_of(s, instance_folder);
  const std::string head = "Port " + port_text(s, instance_folder);
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) {
    out.push_back({SettingsFinding::kPortUnusable, head + ": " + open_failure_reason(errno)});
  } else if (!S_ISCHR(st.st_mode)) {
    out.push_back({SettingsFinding::kPortUnusable, head + " is not a serial device"});
  } else if (::access(device.c_str(), R_OK | W_OK) != 0) {
    out.push_back({SettingsFinding::kPortUnusable, head + ": " + open_failure_reason(errno)});
  }
}

}  // namespace

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
  check_port(settings, instance_folder, check.findings);
  return check;
}

}  // namespace qz
