// The checks of an instance's settings that need no modem: what the gateway would otherwise
// ignore without a word or only get wrong much later. A key misspelt in [Config], a number
// that is not one, a job or report folder that is missing or cannot be written, a settings
// file that cannot be written or that shows the PIN to every user, a PIN the SIM refuses,
// a negative RetryDelay. The gateway logs each finding in red at start; qzgsmsd
// --check prints them and ends with 1 when one of them is a problem.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"

namespace qz {

struct SettingsFinding {
  enum Kind {
    kNoSettingsFile,       // the instance folder has no QZGSMS.INI
    kNoConfigSection,      // the file has no [Config] section
    kSettingsUnreadable,   // it cannot be read: every key takes its default
    kSettingsNotWritable,  // missing defaults and the technical alarm's time are lost
    kUnknownKey,           // a key of [Config] the gateway does not know
    kNotANumber,           // a number key whose value is not (only) a number
    kFolderMissing,        // a folder in use does not exist
    kFolderNotWritable,    // a folder in use cannot be written (or read)
    kFolderCreatedAtStart, // a job folder missing now that the start will create
    kFiledIntoWatchFolder, // jobs are filed into the watch folder: each is read and sent again
    kValueAdjusted,        // a value the gateway brings into range (see ReadSettings)
    kPinNotDigits,         // a PIN that is not 4 to 8 digits: the SIM refuses it
    kNegativeDelay,        // RetryDelay below 0: a failed send is tried again at once
    kSecretsReadable,      // the PIN or MMS password in a file other users may read
    // Found by the callers that know the modem's side (qzgsmsd --check):
    kModeUnreadable,       // a Mode the parser refuses: the port keeps its line settings
    kPortUnusable,         // the Port's device is missing, not a terminal or not allowed
    kCommandNotRunnable,   // qzarun.cmd or the incoming command is there but cannot be run
    kInstanceInUse,        // a gateway runs on this instance folder (a note)
    kWatchFolderInUse,     // another instance's gateway serves the watch folder
  };
  Kind kind;
  std::string text;      // the line as it is logged or printed
  bool problem = true;   // false for a note that asks for no change
};

// Checks the settings `settings` read from `file` (by ReadSettings or LoadSettings, whose
// outcome is `read`) against the file and the folders of `instance_folder`. Reads and
// tests only: creates, opens for writing and changes nothing.
std::vector<SettingsFinding> check_settings(const SettingsFile& file, const Settings& settings,
                                            const std::filesystem::path& instance_folder,
                                            const SettingsReadOutcome& read);

// The number of single-character insertions, deletions, substitutions and swaps of two
// neighbours that turn `a` into `b`, ASCII letters compared without regard to case.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The name in `known` closest to `name` when it is close enough to be what was meant (one
// edit for a short name, two or three for longer ones), else empty. On a tie the first.
std::string nearest_name(std::string_view name, std::span<const std::string_view> known);

}  // namespace qz
