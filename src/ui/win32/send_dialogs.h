// The operator's modal dialogs: Send SMS, Send MMS, Change SMSC, the settings sheet and
// the About box, from the resource script's templates. The send and SMSC dialogs only
// collect what to send; the main window calls the modem services with what they return.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace qz {
class GatewayLog;
class SettingsFile;
struct Settings;
}  // namespace qz

namespace qz::ui::win32 {

struct SmsToSend {
  std::string number;   // the gateway's 8-bit text, as entered
  std::string message;  // UTF-8, for send_sms to code
  int flash = 0;
};
// The phone-number history is read from, and after Send written to, `settings_file`.
std::optional<SmsToSend> RunSendSmsDialog(HWND owner, SettingsFile& settings_file, bool concatenated_sms);

struct MmsToSend {
  std::string number;   // the gateway's 8-bit text
  std::string subject;  // the gateway's 8-bit text
  std::string text;     // the gateway's 8-bit text
  std::string image_path;  // UTF-8, as this system names files
  std::string audio_path;
};
std::optional<MmsToSend> RunSendMmsDialog(HWND owner, SettingsFile& settings_file);

struct ServiceCentre {
  std::string number;  // the gateway's 8-bit text
  int32_t numbering_plan = 0;
};
std::optional<ServiceCentre> RunSmscDialog(HWND owner, const ServiceCentre& current);

// Edits `settings` (the file's values) and, on OK, writes them with SaveSettings and tells
// the operator to restart. Cancel changes nothing.
void RunSettingsSheet(HWND owner, Settings& settings, SettingsFile& file, GatewayLog& log);

void RunAboutDialog(HWND owner);

}  // namespace qz::ui::win32
