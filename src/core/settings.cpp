#include "core/settings.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/colors.h"
#include "core/gateway_log.h"
#include "core/paths.h"

namespace qz {

namespace {

constexpr const char* kSection = "Config";
// Integer keys read with this value are missing (or hold it literally) and get defaults.
constexpr int32_t kMissing = -9;
constexpr std::size_t kPathCapacity = 260;

constexpr ConfigKey kConfigKeys[] = {
    {"Port", false, 0, nullptr},
    {"Mode", false, 0, nullptr},
    {"WatchTimeout", true, 4, &Settings::WatchTimeout},
    {"MoveJobToDoneOrErrorPath", true, 1, &Settings::MoveJobToDoneOrErrorPath},
    {"WatchLogPath", false, 0, nullptr},
    {"WatchPath", false, 0, nullptr},
    {"DonePath", false, 0, nullptr},
    {"ErrorPath", false, 0, nullptr},
    {"FileMask", false, 0, nullptr},
    {"CmdLineFormat", false, 0, nullptr},
    {"PIN", false, 0, nullptr},
    {"Number", false, 0, nullptr},
    {"MMSURLServer", false, 0, nullptr},
    {"MMSAPN", false, 0, nullptr},
    {"MMSIPAddress", false, 0, nullptr},
    {"MMSPortType", false, 0, nullptr},
    {"MMSLogin", false, 0, nullptr},
    {"MMSPWD", false, 0, nullptr},
    {"MMSContentType", false, 0, nullptr},
    {"RetryCount", true, 5, &Settings::RetryCount},
    {"RetryDelay", true, 120, &Settings::RetryDelay},
    {"CapitalizeCommands", true, 0, &Settings::CapitalizeCommands},
    {"TechAlarmNbr", true, 8999, &Settings::TechAlarmNbr},
    {"SleepMinAfterAlarm", true, 60, &Settings::SleepMinAfterAlarm},
    {"MaxMsgLength", true, kDefaultMaxMsgLength, &Settings::MaxMsgLength},
    {"FloodProtection", true, 0, &Settings::FloodProtection},
    {"IncomingEnable", true, 1, &Settings::IncomingEnable},
    {"QualityPollEverySecs", true, 5, &Settings::QualityPollEverySecs},
    {"EnablePDUMode", true, 1, &Settings::EnablePDUMode},
    {"DSC", true, 0, &Settings::DSC},
    {"DisplaySMSCInfo", true, 1, &Settings::DisplaySMSCInfo},
    {"VoiceCallDuration", true, 10, &Settings::VoiceCallDuration},
    {"ConcatenatedSMS", true, 0, &Settings::ConcatenatedSMS},
    {"IncomingUTF8", true, 0, &Settings::IncomingUTF8},
    {"DeliveryReports", true, 0, &Settings::DeliveryReports},
    {"IncomingPartsWaitSecs", true, kDefaultIncomingPartsWaitSecs, &Settings::IncomingPartsWaitSecs},
};

int32_t default_number(std::string_view key) {
  for (const ConfigKey& k : kConfigKeys) {
    if (k.number && key == k.name) return k.default_number;
  }
  return 0;
}

std::string int_text(int32_t value) { return std::to_string(value); }

// Reads [Config] for ReadSettings, which stores what is missing, and for LoadSettings,
// which only reads. A failed store leaves the value that was to be stored in use.
class ConfigReader {
 public:
  ConfigReader(const SettingsFile& file, SettingsFile* writer, SettingsReadOutcome& outcome)
      : file_(file), writer_(writer), outcome_(outcome) {
    std::error_code ec;
    outcome_.file_found = std::filesystem::exists(file_.path(), ec);
    outcome_.keys_found = file_.section_keys(kSection);
    for (const ConfigKey& key : kConfigKeys) {
      if (!key.number) continue;
      std::string value = file_.read_text(kSection, key.name, "", 64);
      if (!value.empty()) outcome_.numbers_found.emplace_back(key.name, std::move(value));
    }
    outcome_.read_only = writer_ == nullptr;
  }

  std::string text(const char* key, std::string_view default_value, std::size_t capacity) const {
    return file_.read_text(kSection, key, default_value, capacity);
  }
  int32_t number(const char* key) const { return file_.read_int(kSection, key, kMissing); }

  void store(const char* key, std::string_view value) {
    if (writer_ == nullptr) return;
    errno = 0;
    if (!writer_->write_text(kSection, key, value) && outcome_.write_error == 0) {
      outcome_.write_error = errno != 0 ? errno : EIO;
    }
  }

  // A text key; when it is empty, its default is written and used.
  std::string text_or_default(const char* key, std::string_view default_value, std::size_t capacity) {
    std::string value = text(key, "", capacity);
    if (value.empty()) {
      store(key, default_value);
      value = std::string(default_value.substr(0, capacity - 1));
    }
    return value;
  }

  // A number key; a missing one is written with its default.
  int32_t number_or_default(const char* key) {
    int32_t value = number(key);
    if (value == kMissing) {
      value = default_number(key);
      store(key, int_text(value));
    }
    return value;
  }

  // A text key written straight back, so the key exists afterwards.
  std::string text_kept(const char* key, std::string_view default_value, std::size_t capacity) {
    std::string value = text(key, default_value, capacity);
    store(key, value);
    return value;
  }

  bool writes() const { return writer_ != nullptr; }

 private:
  const SettingsFile& file_;
  SettingsFile* writer_;
  SettingsReadOutcome& outcome_;
};

// One level only: a missing parent is not created, and a failure is left to the start-up
// checks to report.
void create_folder(const std::filesystem::path& instance_folder, const std::string& setting) {
  std::filesystem::path folder = folder_from_setting(instance_folder, setting);
  std::error_code ec;
  if (!std::filesystem::exists(folder, ec)) std::filesystem::create_directory(folder, ec);
}

void read_config(ConfigReader& r, Settings& s, const std::filesystem::path& instance_folder,
                 SettingsReadOutcome& outcome, GatewayLog* log) {
  s.Port = r.text("Port", "COM2", 64);
  s.Mode = r.text("Mode", "96,N,8,1", 64);

  s.WatchTimeout = r.number("WatchTimeout");
  s.MoveJobToDoneOrErrorPath = r.number("MoveJobToDoneOrErrorPath");
  s.WatchLogPath = r.text("WatchLogPath", "", kPathCapacity);
  if (s.WatchTimeout == kMissing) {
    s.WatchTimeout = default_number("WatchTimeout");
    r.store("WatchTimeout", int_text(s.WatchTimeout));
  }
  if (s.MoveJobToDoneOrErrorPath == kMissing) {
    s.MoveJobToDoneOrErrorPath = default_number("MoveJobToDoneOrErrorPath");
    r.store("MoveJobToDoneOrErrorPath", int_text(s.MoveJobToDoneOrErrorPath));
  }

  // The job folders are read whatever MoveJobToDoneOrErrorPath says: the watcher always
  // needs WatchPath and FileMask, and no job may end up with an empty destination.
  s.WatchPath = r.text_or_default("WatchPath", "\\qzt\\qzgsms", kPathCapacity);
  s.DonePath = r.text_or_default("DonePath", "\\qzt\\qzgsms\\done", kPathCapacity);
  s.ErrorPath = r.text_or_default("ErrorPath", "\\qzt\\qzgsms\\error", kPathCapacity);
  s.FileMask = r.text_or_default("FileMask", "*.sms", kPathCapacity);
  if (r.writes()) {
    create_folder(instance_folder, s.WatchPath);
    create_folder(instance_folder, s.DonePath);
    create_folder(instance_folder, s.ErrorPath);
  }

  if (s.WatchLogPath.empty()) {
    s.WatchLogPath = "\\qzt\\log";
    r.store("WatchLogPath", s.WatchLogPath);
  }

  s.CmdLineFormat = r.text_or_default("CmdLineFormat", "incoming_sms.bat \"%s\" \"%s\"", kPathCapacity);

  s.PIN = r.text("PIN", "", 10);
  s.Number = r.text("Number", "", 128);

  s.MMSURLServer = r.text_kept("MMSURLServer", "", 256);
  s.MMSAPN = r.text_kept("MMSAPN", "", 256);
  s.MMSIPAddress = r.text_kept("MMSIPAddress", "", 256);
  s.MMSPortType = r.text_kept("MMSPortType", "", 8);
  s.MMSLogin = r.text_kept("MMSLogin", "", 256);
  s.MMSPWD = r.text_kept("MMSPWD", "", 128);
  s.MMSContentType = r.text_kept("MMSContentType", "application/vnd.wap.multipart.mixed", 256);

  s.RetryCount = r.number_or_default("RetryCount");
  s.RetryDelay = r.number_or_default("RetryDelay");
  s.CapitalizeCommands = r.number_or_default("CapitalizeCommands");
  s.TechAlarmNbr = r.number_or_default("TechAlarmNbr");
  s.SleepMinAfterAlarm = r.number_or_default("SleepMinAfterAlarm");
  s.MaxMsgLength = r.number_or_default("MaxMsgLength");
  s.FloodProtection = r.number_or_default("FloodProtection");
  s.IncomingEnable = r.number_or_default("IncomingEnable");
  s.QualityPollEverySecs = r.number_or_default("QualityPollEverySecs");
  s.EnablePDUMode = r.number_or_default("EnablePDUMode");
  s.DSC = r.number_or_default("DSC");
  s.DisplaySMSCInfo = r.number_or_default("DisplaySMSCInfo");
  s.VoiceCallDuration = r.number_or_default("VoiceCallDuration");
  s.ConcatenatedSMS = r.number_or_default("ConcatenatedSMS");
  s.IncomingUTF8 = r.number_or_default("IncomingUTF8");
  s.DeliveryReports = r.number_or_default("DeliveryReports");
  s.IncomingPartsWaitSecs = r.number_or_default("IncomingPartsWaitSecs");

  auto adjusted = [&](const std::string& line) {
    outcome.adjusted.push_back(line);
    if (log != nullptr) log->Log(line, kRed);
  };
  if (s.MaxMsgLength > 2000) {
    adjusted("MaxMsgLength " + std::to_string(s.MaxMsgLength) + " is more than a message can hold: 2000 used");
    r.store("MaxMsgLength", "2000");
    s.MaxMsgLength = 2000;
  }
  if (s.MaxMsgLength <= 0) {
    // Every text would be cut to nothing and still be reported as sent.
    adjusted("MaxMsgLength " + std::to_string(s.MaxMsgLength) + " would send empty messages: " +
             std::to_string(kDefaultMaxMsgLength) + " used instead");
    s.MaxMsgLength = kDefaultMaxMsgLength;
  }
  if (s.FloodProtection > kMaxFloodProtection) {
    adjusted("FloodProtection " + std::to_string(s.FloodProtection) + " ms is too long: " +
             std::to_string(kMaxFloodProtection) + " ms used instead");
    s.FloodProtection = kMaxFloodProtection;
  }
  if (s.VoiceCallDuration > kMaxVoiceCallDuration) {
    adjusted("VoiceCallDuration " + std::to_string(s.VoiceCallDuration) + " s is too long: " +
             std::to_string(kMaxVoiceCallDuration) + " s used instead");
    s.VoiceCallDuration = kMaxVoiceCallDuration;
  }
  if (s.VoiceCallDuration < 0) {
    adjusted("VoiceCallDuration " + std::to_string(s.VoiceCallDuration) +
             " s is negative: 0 s used, an answered call is hung up at once");
    s.VoiceCallDuration = 0;
  }
  if (s.IncomingPartsWaitSecs > kMaxIncomingPartsWaitSecs) {
    adjusted("IncomingPartsWaitSecs " + std::to_string(s.IncomingPartsWaitSecs) + " s is too long: " +
             std::to_string(kMaxIncomingPartsWaitSecs) + " s used instead");
    s.IncomingPartsWaitSecs = kMaxIncomingPartsWaitSecs;
  }
  if (s.IncomingPartsWaitSecs < 0) {
    adjusted("IncomingPartsWaitSecs " + std::to_string(s.IncomingPartsWaitSecs) + " s is negative: " +
             std::to_string(kDefaultIncomingPartsWaitSecs) + " s used instead");
    s.IncomingPartsWaitSecs = kDefaultIncomingPartsWaitSecs;
  }
  // Stored in seconds, used in milliseconds. Wraps like the 32-bit original would.
  s.QualityPollEverySecs = static_cast<int32_t>(static_cast<uint32_t>(s.QualityPollEverySecs) * 1000u);
}

std::string masked(const std::string& secret) { return secret.empty() ? "" : "****"; }

}  // namespace

std::span<const ConfigKey> config_keys() { return kConfigKeys; }

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

std::optional<std::vector<std::string>> SettingsFile::section_keys(std::string_view section) const {
  return file_.section_keys(section);
}

int ReadSettings(SettingsFile& file, Settings& s, const std::filesystem::path& instance_folder,
                 GatewayLog* log, SettingsReadOutcome* outcome) {
  SettingsReadOutcome local;
  SettingsReadOutcome& seen = outcome != nullptr ? *outcome : local;
  seen = {};
  ConfigReader reader(file, &file, seen);
  read_config(reader, s, instance_folder, seen, log);
  return 1;
}

SettingsReadOutcome LoadSettings(const SettingsFile& file, Settings& s) {
  SettingsReadOutcome outcome;
  ConfigReader reader(file, nullptr, outcome);
  read_config(reader, s, {}, outcome, nullptr);
  return outcome;
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
