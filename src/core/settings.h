// The gateway's configuration: section [Config] of QZGSMS.INI, read once at start-up.
// Every field bears the name of its key. Text fields keep at most capacity - 1
// characters, as the file's readers always have.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

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
  bool write_text(std::string_view section, std::string_view key, std::string_view value);

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
};

// The longest pause between two modem commands that FloodProtection may ask for. A
// modem that needs more is broken, and a huge value would stall the start for weeks.
inline constexpr int32_t kMaxFloodProtection = 5000;
inline constexpr int32_t kDefaultMaxMsgLength = 800;

// Loads every key, writes the defaults of missing keys back so the file lists the full
// set, and creates the job folders (one level, inside `instance_folder` when relative).
// A value out of its sane range is brought into it, with a red line in `log` (when given).
// Returns 1.
int ReadSettings(SettingsFile& file, Settings& settings,
                 const std::filesystem::path& instance_folder, GatewayLog* log = nullptr);

// Writes the keys the operator can edit and echoes them to both logs in grey, with the
// PIN and the MMS password masked. Returns 0.
int SaveSettings(SettingsFile& file, const Settings& settings, GatewayLog& log);

}  // namespace qz
