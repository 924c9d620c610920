#include "ui/settings_form.h"

#include <algorithm>
#include <limits>

#include "core/settings.h"
#include "ui/field_check.h"
#include "ui/gateway_text.h"

namespace qz::ui {
namespace {

// What each number field takes: the record's fields are 32-bit, and the poll period is
// held there in milliseconds.
struct NumberRule {
  NumberKind kind;
  int64_t min;
  int64_t max;
};
constexpr NumberRule kInt{NumberKind::kInteger, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max()};
constexpr NumberRule kUnsigned{NumberKind::kUnsigned, 0, std::numeric_limits<int32_t>::max()};
constexpr NumberRule kPollSeconds{NumberKind::kUnsigned, 0, std::numeric_limits<int32_t>::max() / 1000};

struct NumberFieldRule {
  GlobalNumberField field;
  std::string GlobalSettingsFields::*text;
  NumberRule rule;
};
constexpr NumberFieldRule kNumberFields[] = {
    {GlobalNumberField::kRetryDelay, &GlobalSettingsFields::retry_delay, kUnsigned},
    {GlobalNumberField::kVoiceCall, &GlobalSettingsFields::voice_call, kInt},
    {GlobalNumberField::kQualityPoll, &GlobalSettingsFields::quality_poll, kPollSeconds},
    {GlobalNumberField::kTechAlarm, &GlobalSettingsFields::tech_alarm, kInt},
    {GlobalNumberField::kSleepAfterAlarm, &GlobalSettingsFields::sleep_after_alarm, kInt},
};

// For a field already checked.
int32_t CheckedNumber(const GlobalSettingsFields& fields, GlobalNumberField which) {
  for (const NumberFieldRule& f : kNumberFields) {
    if (f.field != which) continue;
    std::string ignored;
    return static_cast<int32_t>(
        ReadNumberField(fields.*f.text, f.rule.kind, f.rule.min, f.rule.max, &ignored).value_or(0));
  }
  return 0;
}

std::string Shown(const std::string& gateway_text) { return Utf8FromGatewayText(gateway_text); }
std::string Stored(const std::string& utf8, std::size_t capacity) {
  return CutToCapacity(GatewayTextFromUtf8(utf8), capacity);
}

}  // namespace

std::vector<std::string> PortChoices(const std::vector<std::string>& serial_ports) {
  std::vector<std::string> ports;
  for (int n = 1; n <= 8; ++n) ports.push_back("COM" + std::to_string(n));
  // On Windows the machine's own list may name COM1 to COM8 again.
  for (const std::string& port : serial_ports)
    if (std::find(ports.begin(), ports.end(), Shown(port)) == ports.end()) ports.push_back(Shown(port));
  return ports;
}

std::vector<std::string> RetryCountChoices() {
  std::vector<std::string> counts;
  for (int n = 1; n <= 9; ++n) counts.push_back(std::to_string(n));
  return counts;
}

std::vector<std::string> MmsPortTypeChoices() { return {"0", "1"}; }

GlobalSettingsFields GlobalFieldsOf(const Settings& settings, ModeFields* mode) {
  *mode = SplitMode(settings.Mode);
  GlobalSettingsFields f;
  f.port = Shown(settings.Port);
  f.baud_rate = Shown((*mode)[0]);
  f.parity = Shown((*mode)[1]);
  f.pin = Shown(settings.PIN);
  f.number = Shown(settings.Number);
  f.retry_count = std::to_string(settings.RetryCount);
  f.retry_delay = std::to_string(settings.RetryDelay);
  f.incoming = settings.IncomingEnable != 0;
  f.quality_poll = std::to_string(settings.QualityPollEverySecs / 1000);
  f.tech_alarm = std::to_string(settings.TechAlarmNbr);
  f.sleep_after_alarm = std::to_string(settings.SleepMinAfterAlarm);
  f.voice_call = std::to_string(settings.VoiceCallDuration);
  return f;
}

MmsSettingsFields MmsFieldsOf(const Settings& settings) {
  return {Shown(settings.MMSURLServer), Shown(settings.MMSAPN),      Shown(settings.MMSIPAddress),
          Shown(settings.MMSLogin),     Shown(settings.MMSPWD),      Shown(settings.MMSPortType),
          Shown(settings.MMSContentType)};
}

std::optional<RefusedField> FirstRefusedField(const GlobalSettingsFields& fields) {
  for (const NumberFieldRule& f : kNumberFields) {
    std::string prompt;
    if (!ReadNumberField(fields.*f.text, f.rule.kind, f.rule.min, f.rule.max, &prompt))
      return RefusedField{f.field, prompt};
  }
  return std::nullopt;
}

void CopyGlobalFields(const GlobalSettingsFields& fields, const ModeFields& mode, Settings& settings) {
  settings.Port = Stored(fields.port, kPortCapacity);
  settings.RetryCount = LeadingInteger(fields.retry_count);
  settings.IncomingEnable = fields.incoming ? 1 : 0;
  settings.PIN = Stored(fields.pin, kPinCapacity);
  settings.Number = Stored(fields.number, kNumberCapacity);
  settings.RetryDelay = CheckedNumber(fields, GlobalNumberField::kRetryDelay);
  settings.QualityPollEverySecs = CheckedNumber(fields, GlobalNumberField::kQualityPoll) * 1000;
  settings.SleepMinAfterAlarm = CheckedNumber(fields, GlobalNumberField::kSleepAfterAlarm);
  settings.TechAlarmNbr = CheckedNumber(fields, GlobalNumberField::kTechAlarm);
  settings.VoiceCallDuration = CheckedNumber(fields, GlobalNumberField::kVoiceCall);
  ModeFields opened = mode;
  opened[0] = GatewayTextFromUtf8(fields.baud_rate);
  settings.Mode = CutToCapacity(JoinMode(opened), kModeCapacity);
}

void CopyMmsFields(const MmsSettingsFields& fields, Settings& settings) {
  settings.MMSURLServer = Stored(fields.url_server, kMmsAddressCapacity);
  settings.MMSAPN = Stored(fields.apn, kMmsAddressCapacity);
  settings.MMSIPAddress = Stored(fields.ip_address, kMmsAddressCapacity);
  settings.MMSLogin = Stored(fields.login, kMmsAddressCapacity);
  settings.MMSPWD = Stored(fields.password, kMmsPasswordCapacity);
  settings.MMSPortType = Stored(fields.port_type, kMmsPortTypeCapacity);
}

}  // namespace qz::ui
