#include <cstdio>
#include <string>

#include "core/clock.h"
#include "core/colours.h"
#include "core/gateway.h"
#include "core/process_end.h"
#include "core/startup.h"
#include "modem/port_name.h"
#include "modem/serial_port.h"
#include "modem/sms.h"
#include "modem/tech_alarm.h"

namespace qz {

namespace {

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

// The ends of a failed start: an outside supervisor starts the gateway again.
bool hard_failure(Gateway& g, const std::string& text) {
  g.log.Log(text, kRed);
  tech_alarm(g);
  clock().sleep_ms(60000);
  end_process(1);
  return false;
}

bool common_failure(Gateway& g, const std::string& text) {
  g.log.Log(text, kBlack);
  clock().sleep_ms(10000);
  end_process(1);
  return false;
}

}  // namespace

bool init_gsms(Gateway& g, WindowSink* main_window) {
  g.log.register_window(main_window);
  ReadSettings(g.settings_file, g.settings, g.folder, &g.log);
  const Settings& s = g.settings;
  ModemChannel& m = g.modem;

  g.port = std::make_unique<SerialPort>(device_path_for_port(s.Port));
  if (g.port->Open() == 0) {
    char text[256];
    std::snprintf(text, sizeof text, "** init_gsms ** ERROR: cannot open %s (0x%08X)",
                  s.Port.c_str(), static_cast<unsigned>(g.port->LastError()));
    return hard_failure(g, text);
  }
  g.port->Configure(s.Mode);
  g.port->SetTimeouts(50);
  m.attach(g.port.get());

  m.start_input_thread();
  g.log.Log("InputThread started", kBlack);

  clock().sleep_ms(500);
  m.events.clear(OkEvent);
  m.SendCommand("at", "\r");
  if (m.WaitOk(5000) != 0) {
    // A text entry left open by an earlier run swallows commands. ESC ends it without
    // sending: Ctrl-Z would send whatever it holds (our "at" among it) to the last number.
    const unsigned char escape = 0x1B;
    m.WriteRaw(&escape, 1);
    clock().sleep_ms(500);
    m.SendCommand("at", "\r");
    clock().sleep_ms(500);
    m.SendCommand("at", "\r");
    clock().sleep_ms(500);
    m.SendCommand("at", "&f\r");
    clock().sleep_ms(500);
    m.events.clear(OkEvent);
    m.SendCommand("at", "\r");
    if (m.WaitOk(5000) != 0) {
      tech_alarm(g);
      return common_failure(g, format("** init_gsms ** ERROR: GSM modem not found on port %s", s.Port));
    }
  }

  std::string failure = format("** init_gsms ** ERROR: init of GSM modem on port %s failed.", s.Port);

  // SIM PIN.
  clock().sleep_ms(500);
  m.events.clear(PinStatusEvent);
  m.SendCommand("at+cpin", "?\r");
  if (!m.events.wait(PinStatusEvent, 5000)) return common_failure(g, failure);
  if (!m.SimReady()) {
    if (s.PIN.empty()) return common_failure(g, "** init_gsms ** ERROR: PIN not entered.");
    const std::string cannot_enter = "** init_gsms ** ERROR: Cannot enter PIN code. SIM present ?";
    if (!is_digits(s.PIN)) {
      g.log.Log("The PIN setting holds characters other than digits", kRed);
      return common_failure(g, cannot_enter);
    }
    g.log.PostWindowLine(nullptr, "** init_gsms ** Entering PIN code...", kBlack);
    clock().sleep_ms(500);
    m.events.clear(OkEvent);
    m.SendCommand("at+cpin", "=\"");
    m.SendCommand(s.PIN, "\"\r");
    if (m.WaitOk(30000) != 0) return common_failure(g, cannot_enter);
  }

  // Functionality.
  clock().sleep_ms(500);
  m.events.clear(FunctionalityEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cfun", "?\r");
  int functionality = m.WaitFunctionalityOrError(5000);
  if (functionality < 0) return common_failure(g, failure);
  if (functionality == 0 && m.FunctionalityLevel() != 1) {
    clock().sleep_ms(500);
    m.events.clear(OkEvent);
    m.SendCommand("at+cfun", "=1\r");
    if (m.WaitOk(5000) != 0) return common_failure(g, failure);
  }

  // Network registration.
  bool registered = false;
  for (int attempt = 0; attempt < 5 && !registered; ++attempt) {
    clock().sleep_ms(500);
    m.events.clear(OkEvent);
    m.SendCommand("at+cops", "=0,0\r");
    registered = m.WaitOk(10000) == 0;
  }
  if (!registered) return common_failure(g, failure);

  // Text mode.
  clock().sleep_ms(500);
  m.events.clear(MessageFormatEvent);
  m.SendCommand("at+cmgf", "?\r");
  if (!m.events.wait(MessageFormatEvent, 5000)) return common_failure(g, failure);
  if (m.MessageFormat() != 1) {
    clock().sleep_ms(500);
    m.events.clear(OkEvent);
    m.SendCommand("at+cmgf", "=1\r");
    if (m.WaitOk(5000) != 0) return common_failure(g, failure);
  }

  // Character set.
  clock().sleep_ms(500);
  m.events.clear(OkEvent);
  m.SendCommand("at+cscs", "=\"GSM\"\r");
  if (m.WaitOk(5000) != 0) return common_failure(g, failure);

  // Service centre; a missing reply leaves the number empty.
  clock().sleep_ms(500);
  read_service_centre(g);

  // Echo off.
  m.events.clear(OkEvent);
  m.SendCommand("ate", "0\r");
  m.WaitOk(5000);
  clock().sleep_ms(1000);

  // MMS probe and configuration.
  m.events.clear(OkEvent);
  m.SendCommand("at+KPSV", "?\r");
  if (m.WaitOk(5000) != 0) {
    g.log.WriteDailyLog("rc > 0 ");
    failure = "Your modem doesn't support MMS facilities";
    g.log.PostWindowLine(nullptr, failure, kRed);
  }

  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  int server_reply;
  if (fits_in_quotes(s.MMSURLServer)) {
    m.SendCommand("at+KMMCNF", "=1,\"" + s.MMSURLServer + "\"\r");
    g.log.WriteDailyLog("AT+KMMCNF ");
    server_reply = m.WaitOkOrError(5000);
  } else {
    g.log.Log("The MMSURLServer setting holds characters the modem cannot take", kRed);
    server_reply = 1;
  }
  if (server_reply < 0) {
    g.log.WriteDailyLog("rc < 0 ");
    return common_failure(g, failure);
  }
  if (server_reply == 0) {
    bool safe = fits_in_quotes(s.MMSAPN) && fits_in_quotes(s.MMSLogin) &&
                fits_in_quotes(s.MMSPWD) && fits_in_quotes(s.MMSIPAddress) &&
                fits_in_quotes(s.MMSPortType) && s.MMSIPAddress.find(',') == std::string::npos &&
                s.MMSPortType.find(',') == std::string::npos;
    bool accepted = false;
    if (safe) {
      m.events.clear(OkEvent);
      m.SendCommand("at+KMMCNF", "=3,\"" + s.MMSAPN + "\",\"" + s.MMSLogin + "\",\"" + s.MMSPWD +
                                     "\"," + s.MMSIPAddress + "," + s.MMSPortType + "\r");
      accepted = m.WaitOk(5000) == 0;
    }
    if (!accepted) g.log.Log("Please check your MMS configuration parameters", kRed);
  } else {
    g.log.WriteDailyLog("rc > 0 ");
    g.log.PostWindowLine(nullptr, "Your modem doesn't support MMS facilities or URL server not defined", kRed);
  }

  start_worker_threads(g);
  return true;
}

}  // namespace qz
