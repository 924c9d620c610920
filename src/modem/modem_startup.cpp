#include "modem/modem_startup.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "core/gateway_log.h"
#include "core/system_error.h"
#include "modem/mode_string.h"
#include "modem/modem_link.h"
#include "modem/no_network.h"
#include "modem/port_name.h"
#include "modem/serial_port.h"
#include "modem/sms.h"

namespace qz {

namespace {

// The start-up dialogue leaves this pause before most of its commands, and waits this
// long for a reply unless a step says otherwise.
constexpr int64_t kPauseBetweenCommandsMs = 500;
constexpr int64_t kReplyMs = 5000;
// Entering the PIN and registering on the network take the modem longer.
constexpr int64_t kPinReplyMs = 30000;
constexpr int64_t kRegistrationReplyMs = 10000;
constexpr int kRegistrationTries = 5;
// After echo off, before the MMS probe.
constexpr int64_t kAfterEchoOffMs = 1000;

// While the modem is gone, the port is tried this often, and a modem that answers there
// answers "at" within this time.
constexpr int64_t kProbeEveryMs = 3000;
constexpr int64_t kProbeReplyMs = 1000;

void pause_between_commands() { clock().sleep_ms(kPauseBetweenCommandsMs); }

// Sends `command` + `argument` and waits for its OK: true when it came in time.
bool send_and_wait_ok(ModemChannel& m, std::string_view command, std::string_view argument,
                      int64_t reply_ms = kReplyMs) {
  m.events.clear(OkEvent);
  m.SendCommand(command, argument);
  return m.WaitOk(reply_ms) == 0;
}

std::string format(const char* pattern, const std::string& value) {
  char buf[512];
  std::snprintf(buf, sizeof buf, pattern, value.c_str());
  return buf;
}

// Text from the settings file that goes inside a quoted AT argument must not be able to
// close the quotes or end the command.
bool fits_in_quotes(const std::string& value) {
  for (unsigned char c : value) {
    if (c == '"' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

bool is_digits(const std::string& value) {
  if (value.empty()) return false;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

ModemStart failed(ModemStart::Outcome outcome, std::string text) { return {outcome, std::move(text)}; }

// A Mode the parser takes may still be refused by the device (a rate it cannot run at);
// either way the port keeps the settings it had.
void report_refused_mode(ModemLink& link, const std::string& device) {
  const std::string& mode = link.settings.Mode;
  std::optional<LineSettings> wanted = parse_mode_string(mode, LineSettings{});
  if (!wanted) {
    link.log.Log(unreadable_mode_text(mode), kRed);
    return;
  }
  link.log.Log("Mode '" + mode + "': " + device + " refuses " + std::to_string(wanted->baud_rate) + " baud (" +
                   error_text(static_cast<int>(link.port->LastError())) +
                   "): the port keeps its line settings",
               kRed);
}

// The probe and the MMS settings; a modem without MMS still sends SMS and calls.
ModemStart configure_mms(ModemLink& link) {
  const Settings& s = link.settings;
  ModemChannel& m = link.modem;
  std::string failure = format("** init_gsms ** ERROR: init of GSM modem on port %s failed.", s.Port);

  if (!send_and_wait_ok(m, "at+KPSV", "?\r")) {
    link.log.WriteDailyLog("rc > 0 ");
    failure = "Your modem doesn't support MMS facilities";
    link.log.PostWindowLine(nullptr, failure, kRed);
  }

  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  int server_reply;
  if (fits_in_quotes(s.MMSURLServer)) {
    m.SendCommand("at+KMMCNF", "=1,\"" + s.MMSURLServer + "\"\r");
    link.log.WriteDailyLog("AT+KMMCNF ");
    server_reply = m.WaitOkOrError(kReplyMs);
  } else {
    link.log.Log("The MMSURLServer setting holds characters the modem cannot take", kRed);
    server_reply = 1;
  }
  if (server_reply < 0) {
    link.log.WriteDailyLog("rc < 0 ");
    return failed(ModemStart::kFailed, failure);
  }
  if (server_reply == 0) {
    bool safe = fits_in_quotes(s.MMSAPN) && fits_in_quotes(s.MMSLogin) &&
                fits_in_quotes(s.MMSPWD) && fits_in_quotes(s.MMSIPAddress) &&
                fits_in_quotes(s.MMSPortType) && s.MMSIPAddress.find(',') == std::string::npos &&
                s.MMSPortType.find(',') == std::string::npos;
    bool accepted = false;
    if (safe) {
      accepted = send_and_wait_ok(m, "at+KMMCNF",
                                  "=3,\"" + s.MMSAPN + "\",\"" + s.MMSLogin + "\",\"" + s.MMSPWD + "\"," +
                                      s.MMSIPAddress + "," + s.MMSPortType + "\r");
    }
    if (!accepted) link.log.Log("Please check your MMS configuration parameters", kRed);
  } else {
    link.log.WriteDailyLog("rc > 0 ");
    link.log.PostWindowLine(nullptr, "Your modem doesn't support MMS facilities or URL server not defined", kRed);
  }
  return {};
}

}  // namespace

// What the system says about `error`, and what it most likely means for a modem's port.
std::string open_failure_reason(int error) {
  std::string text = error_text(error);
  switch (error) {
    case EBUSY: return text + ": in use by another program or gateway instance";
    case EACCES: return text + ": the gateway's user may not use it (is it in the group dialout?)";
    case ENOTTY: return text + ": not a serial device";
    default: return text;
  }
}

std::string unreadable_mode_text(std::string_view mode) {
  return "Mode '" + std::string(mode) + "' cannot be read: the port keeps its line settings";
}

namespace {

// Opens the port afresh and sets the reader on it. A reader and a port of an earlier start
// go first: nothing may read from a port that is being replaced.
std::optional<ModemStart> open_port(ModemLink& link) {
  const Settings& s = link.settings;
  ModemChannel& m = link.modem;
  m.stop_input_thread();
  m.attach(nullptr);

  const std::string device = device_path_for_port(s.Port);
  link.port = std::make_unique<SerialPort>(device);
  if (link.port->Open() == 0) {
    const unsigned error = link.port->LastError();
    char text[256];
    std::snprintf(text, sizeof text, "** init_gsms ** ERROR: cannot open %s (0x%08X)", s.Port.c_str(), error);
    std::string line = std::string(text) + ": " + open_failure_reason(static_cast<int>(error));
    if (device != s.Port) line += " (" + s.Port + " is " + device + ")";
    return failed(ModemStart::kPortNotOpened, line);
  }
  if (!link.port->Configure(s.Mode)) report_refused_mode(link, device);
  link.port->SetTimeouts(50);
  m.attach(link.port.get());
  // What went wrong with the port before is past: this one is new.
  link.clear_modem_fault();
  m.start_input_thread();
  return std::nullopt;
}

// Whether a modem answers "at" on the port, opened afresh.
bool modem_answers(ModemLink& link) {
  if (open_port(link)) return false;
  return send_and_wait_ok(link.modem, "at", "\r", kProbeReplyMs);
}

}  // namespace

ModemStart start_modem(ModemLink& link) {
  const Settings& s = link.settings;
  ModemChannel& m = link.modem;

  if (std::optional<ModemStart> not_opened = open_port(link)) return *not_opened;
  link.log.Log("InputThread started", kBlack);

  pause_between_commands();
  if (!send_and_wait_ok(m, "at", "\r")) {
    // A text entry left open by an earlier run swallows commands. ESC ends it without
    // sending: Ctrl-Z would send whatever it holds (our "at" among it) to the last number.
    const unsigned char escape = 0x1B;
    m.WriteRaw(&escape, 1);
    pause_between_commands();
    m.SendCommand("at", "\r");
    pause_between_commands();
    m.SendCommand("at", "\r");
    pause_between_commands();
    m.SendCommand("at", "&f\r");
    pause_between_commands();
    if (!send_and_wait_ok(m, "at", "\r")) {
      return failed(ModemStart::kNoModem, format("** init_gsms ** ERROR: GSM modem not found on port %s", s.Port));
    }
  }

  const std::string failure = format("** init_gsms ** ERROR: init of GSM modem on port %s failed.", s.Port);

  // SIM PIN.
  pause_between_commands();
  m.events.clear(PinStatusEvent);
  m.SendCommand("at+cpin", "?\r");
  if (!m.events.wait(PinStatusEvent, kReplyMs)) return failed(ModemStart::kFailed, failure);
  if (!m.SimReady()) {
    if (s.PIN.empty()) return failed(ModemStart::kFailed, "** init_gsms ** ERROR: PIN not entered.");
    const std::string cannot_enter = "** init_gsms ** ERROR: Cannot enter PIN code. SIM present ?";
    if (!is_digits(s.PIN)) {
      link.log.Log("The PIN setting holds characters other than digits", kRed);
      return failed(ModemStart::kFailed, cannot_enter);
    }
    link.log.PostWindowLine(nullptr, "** init_gsms ** Entering PIN code...", kBlack);
    pause_between_commands();
    m.events.clear(OkEvent);
    m.SendCommand("at+cpin", "=\"");
    m.SendCommand(s.PIN, "\"\r");
    if (m.WaitOk(kPinReplyMs) != 0) return failed(ModemStart::kFailed, cannot_enter);
  }

  // Functionality.
  pause_between_commands();
  m.events.clear(FunctionalityEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cfun", "?\r");
  int functionality = m.WaitFunctionalityOrError(kReplyMs);
  if (functionality < 0) return failed(ModemStart::kFailed, failure);
  if (functionality == 0 && m.FunctionalityLevel() != 1) {
    pause_between_commands();
    if (!send_and_wait_ok(m, "at+cfun", "=1\r")) return failed(ModemStart::kFailed, failure);
  }

  // Network registration.
  bool registered = false;
  for (int attempt = 0; attempt < kRegistrationTries && !registered; ++attempt) {
    pause_between_commands();
    registered = send_and_wait_ok(m, "at+cops", "=0,0\r", kRegistrationReplyMs);
  }
  if (!registered) {
    if (!m.device_gone()) registration_failed(link);
    return failed(ModemStart::kFailed, failure);
  }
  registration_succeeded(link);

  // Text mode.
  pause_between_commands();
  m.events.clear(MessageFormatEvent);
  m.SendCommand("at+cmgf", "?\r");
  if (!m.events.wait(MessageFormatEvent, kReplyMs)) return failed(ModemStart::kFailed, failure);
  if (m.MessageFormat() != 1) {
    pause_between_commands();
    if (!send_and_wait_ok(m, "at+cmgf", "=1\r")) return failed(ModemStart::kFailed, failure);
  }
  m.set_message_mode(ModemChannel::MessageMode::kText);

  // Character set.
  pause_between_commands();
  if (!send_and_wait_ok(m, "at+cscs", "=\"GSM\"\r")) return failed(ModemStart::kFailed, failure);

  // Service centre; a missing reply leaves the number empty.
  pause_between_commands();
  read_service_centre(link);

  // Echo off; a modem that does not answer goes on all the same.
  send_and_wait_ok(m, "ate", "0\r");
  clock().sleep_ms(kAfterEchoOffMs);

  return configure_mms(link);
}

bool wait_for_modem_return(ModemLink& link, int64_t limit_ms) {
  link.log.WriteDailyLog("Trying port " + link.settings.Port + " every " + std::to_string(kProbeEveryMs / 1000) +
                         " s meanwhile: the gateway goes on as soon as the modem answers again");
  const int64_t end = clock().steady_ms() + limit_ms;
  for (int64_t left = limit_ms; left > 0 && link.sleep_ms(std::min(kProbeEveryMs, left));
       left = end - clock().steady_ms()) {
    if (!modem_answers(link)) continue;
    link.log.Log("The modem answers again on port " + link.settings.Port + ": starting it again", kBlack);
    ModemStart started = start_modem(link);
    if (started.outcome == ModemStart::kReady) {
      link.log.Log("The modem on port " + link.settings.Port + " is ready again", kGreen);
      return true;
    }
    link.log.Log(started.failure, kRed);
  }
  return false;
}

}  // namespace qz
