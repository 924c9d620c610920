#include "core/settings.h"

#include <cstdio>
#include <system_error>

#include "core/colours.h"
#include "core/gateway_log.h"
#include "core/paths.h"

namespace qz {

namespace {

constexpr const char* kSection = "Config";
// Integer keys read with this value are missing (or hold it literally) and get defaults.
constexpr int32_t kMissing = -9;
constexpr std::size_t kPathCapacity = 260;

std::string int_text(int32_t value) { return std::to_string(value); }

// Reads a text key; when it is empty, writes `default_value` and reads it again.
std::string read_text_or_default(SettingsFile& file, const char* key, const char* default_value,
                                 std::size_t capacity) {
  std::string value = file.read_text(kSection, key, "", capacity);
  if (value.empty()) {
    file.write_text(kSection, key, default_value);
    value = file.read_text(kSection, key, "", capacity);
  }
  return value;
}

// Reads an integer key; a missing key is written with its default.
int32_t read_int_or_default(SettingsFile& file, const char* key, int32_t default_value) {
  int32_t value = file.read_int(kSection, key, kMissing);
  if (value == kMissing) {
    file.write_text(kSection, key, int_text(default_value));
    value = default_value;
  }
  return value;
}

// Reads a text key and writes it straight back, so the key exists afterwards.
std::string read_and_keep(SettingsFile& file, const char* key, const char* default_value,
                          std::size_t capacity) {
  std::string value = file.read_text(kSection, key, default_value, capacity);
  file.write_text(kSection, key, value);
  return value;
}

// One level only: a missing parent is not created, and a failure is not reported.
void create_folder(const std::filesystem::path& instance_folder, const std::string& setting) {
  std::filesystem::path folder = folder_from_setting(instance_folder, setting);
  std::error_code ec;
  if (!std::filesystem::exists(folder, ec)) std::filesystem::create_directory(folder, ec);
}

std::string masked(const std::string& secret) { return secret.empty() ? "" : "****"; }

}  // namespace

SettingsFile::SettingsFile(const std::filesystem::path& instance_folder)
    : file_(instance_folder, kFileName) {}

int32_t SettingsFile::read_int(std::string_view section, std::string_view key,
                               int32_t default_value) const {
  return file_.read_int(section, key, default_value);
}

std::string SettingsFile::read_text(std::string_view section, std::string_view key,
                                    std::string_view default_value, std::size_t capacity) const {
  return file_.read_text(section, key, default_value, capacity);
}

bool SettingsFile::write_text(std::string_view section, std::string_view key,
                              std::string_view value) {
  return file_.write_text(section, key, value);
}

int ReadSettings(SettingsFile& file, Settings& s, const std::filesystem::path& instance_folder,
                 GatewayLog* log) {
  s.Port = file.read_text(kSection, "Port", "COM2", 64);
  s.Mode = file.read_text(kSection, "Mode", "96,N,8,1", 64);

  s.WatchTimeout = file.read_int(kSection, "WatchTimeout", kMissing);
  s.MoveJobToDoneOrErrorPath = file.read_int(kSection, "MoveJobToDoneOrErrorPath", kMissing);
  s.WatchLogPath = file.read_text(kSection, "WatchLogPath", "", kPathCapacity);
  if (s.WatchTimeout == kMissing) {
    file.write_text(kSection, "WatchTimeout", "4");
    s.WatchTimeout = 4;
  }
  if (s.MoveJobToDoneOrErrorPath == kMissing) {
    file.write_text(kSection, "MoveJobToDoneOrErrorPath", "1");
    s.MoveJobToDoneOrErrorPath = 1;
  }

  // The job folders are read whatever MoveJobToDoneOrErrorPath says: the watcher always
  // needs WatchPath and FileMask, and no job may end up with an empty destination.
  s.WatchPath = read_text_or_default(file, "WatchPath", "\\qzt\\qzgsms", kPathCapacity);
  s.DonePath = read_text_or_default(file, "DonePath", "\\qzt\\qzgsms\\done", kPathCapacity);
  s.ErrorPath = read_text_or_default(file, "ErrorPath", "\\qzt\\qzgsms\\error", kPathCapacity);
  s.FileMask = read_text_or_default(file, "FileMask", "*.sms", kPathCapacity);
  create_folder(instance_folder, s.WatchPath);
  create_folder(instance_folder, s.DonePath);
  create_folder(instance_folder, s.ErrorPath);

  if (s.WatchLogPath.empty()) {
    file.write_text(kSection, "WatchLogPath", "\\qzt\\log");
    s.WatchLogPath = "\\qzt\\log";
  }

  s.CmdLineFormat =
      read_text_or_default(file, "CmdLineFormat", "incoming_sms.bat \"%s\" \"%s\"", kPathCapacity);

  s.PIN = file.read_text(kSection, "PIN", "", 10);
  s.Number = file.read_text(kSection, "Number", "", 128);

  s.MMSURLServer = read_and_keep(file, "MMSURLServer", "", 256);
  s.MMSAPN = read_and_keep(file, "MMSAPN", "", 256);
  s.MMSIPAddress = read_and_keep(file, "MMSIPAddress", "", 256);
  s.MMSPortType = read_and_keep(file, "MMSPortType", "", 8);
  s.MMSLogin = read_and_keep(file, "MMSLogin", "", 256);
  s.MMSPWD = read_and_keep(file, "MMSPWD", "", 128);
  s.MMSContentType =
      read_and_keep(file, "MMSContentType", "application/vnd.wap.multipart.mixed", 256);

  s.RetryCount = read_int_or_default(file, "RetryCount", 5);
  s.RetryDelay = read_int_or_default(file, "RetryDelay", 120);
  s.CapitalizeCommands = read_int_or_default(file, "CapitalizeCommands", 0);
  s.TechAlarmNbr = read_int_or_default(file, "TechAlarmNbr", 8999);
  s.SleepMinAfterAlarm = read_int_or_default(file, "SleepMinAfterAlarm", 60);
  s.MaxMsgLength = read_int_or_default(file, "MaxMsgLength", kDefaultMaxMsgLength);
  s.FloodProtection = read_int_or_default(file, "FloodProtection", 0);
  s.IncomingEnable = read_int_or_default(file, "IncomingEnable", 1);
  s.QualityPollEverySecs = read_int_or_default(file, "QualityPollEverySecs", 5);
  s.EnablePDUMode = read_int_or_default(file, "EnablePDUMode", 1);
  s.DSC = read_int_or_default(file, "DSC", 0);
  s.DisplaySMSCInfo = read_int_or_default(file, "DisplaySMSCInfo", 1);
  s.VoiceCallDuration = read_int_or_default(file, "VoiceCallDuration", 10);

  if (s.MaxMsgLength > 2000) {
    file.write_text(kSection, "MaxMsgLength", "2000");
    s.MaxMsgLength = 2000;
  }
  if (s.MaxMsgLength <= 0) {
    // Every text would be cut to nothing and still be reported as sent.
    if (log != nullptr) {
      char line[160];
      std::snprintf(line, sizeof line, "MaxMsgLength %d would send empty messages: %d used instead",
                    s.MaxMsgLength, kDefaultMaxMsgLength);
      log->Log(line, kRed);
    }
    s.MaxMsgLength = kDefaultMaxMsgLength;
  }
  if (s.FloodProtection > kMaxFloodProtection) {
    if (log != nullptr) {
      char line[160];
      std::snprintf(line, sizeof line, "FloodProtection %d ms is too long: %d ms used instead",
                    s.FloodProtection, kMaxFloodProtection);
      log->Log(line, kRed);
    }
    s.FloodProtection = kMaxFloodProtection;
  }
  // Stored in seconds, used in milliseconds. Wraps like the 32-bit original would.
  s.QualityPollEverySecs = static_cast<int32_t>(static_cast<uint32_t>(s.QualityPollEverySecs) * 1000u);
  return 1;
}

int SaveSettings(SettingsFile& file, const Settings& s, GatewayLog& log) {
  file.write_text(kSection, "Port", s.Port);
  file.write_text(kSection, "Mode", s.Mode);
  file.write_text(kSection, "RetryCount", int_text(s.RetryCount));
  file.write_text(kSection, "RetryDelay", int_text(s.RetryDelay));
  file.write_text(kSection, "IncomingEnable", int_text(s.IncomingEnable));
  file.write_text(kSection, "QualityPollEverySecs", int_text(s.QualityPollEverySecs / 1000));
  if (!s.Number.empty()) file.write_text(kSection, "Number", s.Number);
  if (!s.PIN.empty()) file.write_text(kSection, "PIN", s.PIN);
  file.write_text(kSection, "TechAlarmNbr", int_text(s.TechAlarmNbr));
  file.write_text(kSection, "SleepMinAfterAlarm", int_text(s.SleepMinAfterAlarm));
  file.write_text(kSection, "VoiceCallDuration", int_text(s.VoiceCallDuration));
  file.write_text(kSection, "MMSURLServer", s.MMSURLServer);
  file.write_text(kSection, "MMSAPN", s.MMSAPN);
  file.write_text(kSection, "MMSLogin", s.MMSLogin);
  file.write_text(kSection, "MMSPWD", s.MMSPWD);
  file.write_text(kSection, "MMSContentType", s.MMSContentType);
  file.write_text(kSection, "MMSIPAddress", s.MMSIPAddress);
  file.write_text(kSection, "MMSPortType", s.MMSPortType);

  auto echo = [&log](const std::string& line) { log.Log(line, kGrey); };
  char buf[1024];
  echo("Settings parameters updated");
  echo("New settings parameters :");
  std::snprintf(buf, sizeof buf, "Com Port: %s.  Com Port settings: %s", s.Port.c_str(),
                s.Mode.c_str());
  echo(buf);
  // The logs are read by many: the PIN and the MMS password never appear in clear.
  std::snprintf(buf, sizeof buf, "Phone Number: %s. PIN: %s", s.Number.c_str(),
                masked(s.PIN).c_str());
  echo(buf);
  std::snprintf(buf, sizeof buf, "Retries on Errors %i every %i seconds", s.RetryCount,
                s.RetryDelay);
  echo(buf);
  std::snprintf(buf, sizeof buf, "Enable incoming: %i. Refresh Signal Indicator every %i seconds",
                s.IncomingEnable, s.QualityPollEverySecs / 1000);
  echo(buf);
  std::snprintf(buf, sizeof buf, "Start techalarm: %d", s.TechAlarmNbr);
  echo(buf);
  echo("MMS Parameters:");
  std::snprintf(buf, sizeof buf, "URL Server: %s", s.MMSURLServer.c_str());
  echo(buf);
  std::snprintf(buf, sizeof buf, "APN: %s / IP Address: %s", s.MMSAPN.c_str(),
                s.MMSIPAddress.c_str());
  echo(buf);
  std::snprintf(buf, sizeof buf, "Login: %s / Password: %s / Type: %s", s.MMSLogin.c_str(),
                masked(s.MMSPWD).c_str(), s.MMSPortType.c_str());
  echo(buf);
  return 0;
}

}  // namespace qz
