// The settings sheet's two pages as texts, without any toolkit: what each field shows when
// the sheet opens, which field keeps a page open, and what OK copies back into the
// settings record. The Qt and the Win32 sheet fill their controls from these and read them
// back into them; texts are UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ui/mode_fields.h"

namespace qz {
struct Settings;
}

namespace qz::ui {

// Capacities of the settings record's text fields, terminator included: an edit takes
// one character less.
inline constexpr std::size_t kPortCapacity = 64;
inline constexpr std::size_t kModeCapacity = 64;
inline constexpr std::size_t kPinCapacity = 10;
inline constexpr std::size_t kNumberCapacity = 128;
inline constexpr std::size_t kMmsAddressCapacity = 256;  // URL, APN, IP address, login, content type
inline constexpr std::size_t kMmsPasswordCapacity = 128;
inline constexpr std::size_t kMmsPortTypeCapacity = 8;

struct GlobalSettingsFields {
  std::string port;
  std::string baud_rate;
  std::string parity;  // shown only, never read back
  std::string pin;
  std::string number;
  std::string retry_count;
  std::string retry_delay;
  bool incoming = false;
  std::string quality_poll;  // seconds
  std::string tech_alarm;
  std::string sleep_after_alarm;
  std::string voice_call;
};

struct MmsSettingsFields {
  std::string url_server;
  std::string apn;
  std::string ip_address;
  std::string login;
  std::string password;
  std::string port_type;
  std::string content_type;  // shown only, written back unchanged
};

// The number fields of the Global page, in page order.
enum class GlobalNumberField { kRetryDelay, kVoiceCall, kQualityPoll, kTechAlarm, kSleepAfterAlarm };

struct RefusedField {
  GlobalNumberField field;
  std::string prompt;
};

// The port list: COM1 to COM8, then the serial ports this machine has.
std::vector<std::string> PortChoices(const std::vector<std::string>& serial_ports);
// The retry-count list "1" to "9" and the MMS port types "0" and "1".
std::vector<std::string> RetryCountChoices();
std::vector<std::string> MmsPortTypeChoices();

// What the Global page shows; `mode` receives the four fields of `Mode` as it opened, whose
// parity, data and stop bits OK writes back unchanged.
GlobalSettingsFields GlobalFieldsOf(const Settings& settings, ModeFields* mode);
MmsSettingsFields MmsFieldsOf(const Settings& settings);

// The first number field that does not hold a number of its kind, with the prompt.
std::optional<RefusedField> FirstRefusedField(const GlobalSettingsFields& fields);

// Copies the pages into `settings` (after FirstRefusedField found nothing). Texts are cut
// to their fields' capacities; `Mode` is the baud-rate text with the other three fields of
// `mode`.
void CopyGlobalFields(const GlobalSettingsFields& fields, const ModeFields& mode, Settings& settings);
void CopyMmsFields(const MmsSettingsFields& fields, Settings& settings);

}  // namespace qz::ui
