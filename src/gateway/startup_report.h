// What a gateway says about its instance before it asks the modem anything, and the check
// of an instance that starts nothing (qzgsmsd --check).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/settings_check.h"

namespace qz {

// The block of lines a start begins with: the version and the instance folder, the
// settings file, the port with the device it names and its Mode, and every folder in use
// as an absolute path.
std::vector<std::string> startup_summary(const Settings& settings, const std::filesystem::path& instance_folder,
                                         const std::filesystem::path& settings_path);

// The commands the gateway starts (qzarun.cmd, and the command of CmdLineFormat when
// incoming messages are on) that are there but cannot be run.
std::vector<SettingsFinding> check_commands(const Settings& settings, const std::filesystem::path& instance_folder);

struct InstanceCheck {
  std::vector<std::string> summary;       // as startup_summary
  std::vector<SettingsFinding> findings;  // problems and notes, in the order found
  int problems() const;
};

// Reads the settings of `instance_folder` as a start would, without writing, creating or
// opening anything (not the port: its device is only looked at), and says what the start
// would find wrong, the Mode, the port and the commands included, and whether a gateway
// runs on the instance or on its watch folder.
InstanceCheck check_instance(const std::filesystem::path& instance_folder);

}  // namespace qz
