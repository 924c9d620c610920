// The gateway's configuration: section [Config] of QZGSMS.INI, read once at start-up.
// Every field bears the name of its key. Text fields keep at most capacity - 1
// characters, as the file's readers always have.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/profile_file.h"

namespace qz {

class GatewayLog;

// QZGSMS.INI in the instance folder. Other sections (WatchDog, LastPhoneNums) live in
// the same file and go through the same three operations.
class SettingsFile {
 public:
  static constexpr const char* kFileName = "QZGSMS.INI";

  explicit SettingsFile(const std::filesystem::path& instance_folder);

  int32_t read_int(std::string_view section, std::string_view key, int32_t default_value) const;
  std::string read_text(std::string_view section, std::string_view key,
                        std::string_view default_value, std::size_t capacity) const;
  // False when the file could not be written; errno then tells why (see ProfileFile).
  bool write_text(std::string_view section, std::string_view key, std::string_view value);
  // The key names of `section` as the file has them (see ProfileFile::section_keys).
  std::optional<std::vector<std::string>> section_keys(std::string_view section) const;

  std::filesystem::path path() const { return file_.path(); }

 private:
  ProfileFile file_;
};

struct Settings {
  std::string Port;                      // 64
  std::string Mode;                      // 64
  int32_t WatchTimeout = 0;              // seconds
  int32_t MoveJobToDoneOrErrorPath = 0;  // flag
  std::string WatchLogPath;              // 260: report tables (and jobs when not moved)
  std::string WatchPath;                 // 260
  std::string DonePath;                  // 260
  std::string ErrorPath;                 // 260
  std::string FileMask;                  // 260
  std::string CmdLineFormat;             // 260
  std::string PIN;                       // 10
  std::string Number;                    // 128
  std::string MMSURLServer;              // 256
  std::string MMSAPN;                    // 256
  std::string MMSIPAddress;              // 256
  std::string MMSPortType;               // 8
  std::string MMSLogin;                  // 256
  std::string MMSPWD;                    // 128
  std::string MMSContentType;            // 256
  int32_t RetryCount = 0;
  int32_t RetryDelay = 0;  // seconds
  int32_t CapitalizeCommands = 0;
  int32_t TechAlarmNbr = 0;
  int32_t SleepMinAfterAlarm = 0;  // minutes
  int32_t MaxMsgLength = 0;        // characters, at most 2000
  int32_t FloodProtection = 0;     // milliseconds between commands
  int32_t IncomingEnable = 0;
  int32_t QualityPollEverySecs = 0;  // held in milliseconds, stored in seconds
  int32_t EnablePDUMode = 0;
  int32_t DSC = 0;
  int32_t DisplaySMSCInfo = 0;
  int32_t VoiceCallDuration = 0;  // seconds
  int32_t ConcatenatedSMS = 0;    // flag: a long text reaches the phone as one message
  int32_t IncomingUTF8 = 0;       // flag: CmdLineFormat's command takes received texts in UTF-8
  int32_t DeliveryReports = 0;    // flag: each SMS asks for a delivery report, which is logged
  int32_t IncomingPartsWaitSecs = 0;  // seconds a long received text waits for its missing parts
};

// A key of section [Config]: its name, and for the number keys the default a missing key
// gets and the field that holds it (QualityPollEverySecs in milliseconds there). The texts
// have defaults of their own, in ReadSettings.
struct ConfigKey {
  const char* name;
  bool number;
  int32_t default_number;
  int32_t Settings::*field;
};

// Every key of [Config] the gateway reads, in the order it reads them.
std::span<const ConfigKey> config_keys();

// What a read of the settings saw and could not do, for the start-up checks.
struct SettingsReadOutcome {
  bool file_found = false;  // the file existed when the read began
  // The key names of [Config] when the read began, before any default was added; none
  // when the file had no such section.
  std::optional<std::vector<std::string>> keys_found;
  // The values of the number keys that were not empty then, by key, before any default
  // replaced them ("-9x" reads as the marker of a missing key).
  std::vector<std::pair<std::string, std::string>> numbers_found;
  bool read_only = false;  // LoadSettings: nothing written, no folder created
  int write_error = 0;     // the reason (errno) of the first write that failed; 0 when none did
  std::vector<std::string> adjusted;  // the lines about values brought into range
};

// The longest pause between two modem commands that FloodProtection may ask for. A
// modem that needs more is broken, and a huge value would stall the start for weeks.
inline constexpr int32_t kMaxFloodProtection = 5000;
// The longest hold of an answered voice alarm call, in seconds. The call itself is the
// alarm (nothing is played), and the hold keeps the modem from every other alarm.
inline constexpr int32_t kMaxVoiceCallDuration = 600;
inline constexpr int32_t kDefaultIncomingPartsWaitSecs = 300;
inline constexpr int32_t kMaxIncomingPartsWaitSecs = 86400;
inline constexpr int32_t kDefaultMaxMsgLength = 800;

// Loads every key, writes the defaults of missing keys back so the file lists the full
// set, and creates the job folders (one level, inside `instance_folder` when relative).
// A value out of its sane range is brought into it, with a red line in `log` (when given).
// A write that fails leaves the default in use all the same; `outcome` (when given) tells
// which reason the first failure had, for the start-up checks to report. Returns 1.
int ReadSettings(SettingsFile& file, Settings& settings,
                 const std::filesystem::path& instance_folder, GatewayLog* log = nullptr,
                 SettingsReadOutcome* outcome = nullptr);

// The same values as ReadSettings would give, without writing anything or creating any
// folder: for a check of an instance that must leave it as it is.
SettingsReadOutcome LoadSettings(const SettingsFile& file, Settings& settings);

// Writes the keys the operator can edit and echoes them to both logs in grey, with the
// PIN and the MMS password masked. Returns 0.
int SaveSettings(SettingsFile& file, const Settings& settings, GatewayLog& log);

}  // namespace qz
