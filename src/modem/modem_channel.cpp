#include "modem/modem_channel.h"

#include <cctype>
#include <cstdio>
#include <system_error>

#include "core/clock.h"
#include "core/decimal.h"
#include "core/gateway_log.h"
#include "core/settings.h"
#include "core/text.h"
#include "modem/serial_port.h"

namespace qz {

namespace {

// How long the reader waits on a quiet line before it looks again.
constexpr int64_t kQuietLineWaitMs = 60000;

// The text after a prefix and its ": " separator, from the eighth character on.
std::string_view rest_of(std::string_view line) {
  return line.size() > 7 ? line.substr(7) : std::string_view{};
}

std::string cut(std::string_view text, std::size_t max) {
  return std::string(text.substr(0, max));
}

// The modem echoes the PIN command; the PIN itself must not reach the log.
std::string masked_for_log(std::string_view line) {
  constexpr std::string_view kPinCommand = "at+cpin=";
  if (starts_with_nocase(line, kPinCommand)) {
    return std::string(line.substr(0, kPinCommand.size())) + "****";
  }
  return std::string(line);
}

}  // namespace

ModemChannel::ModemChannel(GatewayLog& log, const Settings& settings)
    : log_(log), settings_(settings) {}

ModemChannel::~ModemChannel() { stop_input_thread(); }

void ModemChannel::attach(SerialPort* port) {
  port_.store(port, std::memory_order_release);
  message_mode_ = MessageMode::kUnknown;
  if (port != nullptr && device_gone_.exchange(false)) events.resume_waits();
}

void ModemChannel::report_device_gone(const SerialPort& port) {
  if (device_gone_.exchange(true)) return;
  events.fail_waits();
  if (device_gone_hook_) device_gone_hook_(std::generic_category().message(static_cast<int>(port.LastError())));
}

int ModemChannel::SendCommand(std::string_view command, std::string_view argument) {
  std::lock_guard pacing(send_mutex_);
  int64_t now = clock().steady_ms();
  if (settings_.FloodProtection > 0 && sent_before_) {
    // One sleep for the whole remainder: polling every millisecond costs a core's worth
    // of wake-ups for nothing.
    int64_t remaining = last_send_ms_ + settings_.FloodProtection - now;
    if (remaining > 0) {
      clock().sleep_ms(remaining);
      now = clock().steady_ms();
    }
  }
  if (port_.load(std::memory_order_acquire) == nullptr) return -1;

  std::string text = command_text(command, argument);
  WriteRaw(text.data(), static_cast<int>(text.size()));

  if (settings_.FloodProtection > 0) {
    last_send_ms_ = now;
    sent_before_ = true;
  }
  return 0;
}

void ModemChannel::SendCommandBeforeExit(std::string_view command, std::string_view argument) {
  SerialPort* port = port_.load(std::memory_order_acquire);
  if (port == nullptr) return;
  // 100 ms a byte at most: a line held by flow control must not keep the process alive.
  port->SetTimeouts(10);
  std::string text = command_text(command, argument);
  WriteRaw(text.data(), static_cast<int>(text.size()));
}

std::string ModemChannel::command_text(std::string_view command, std::string_view argument) const {
  std::string text(command.substr(0, kCommandMax));
  if (settings_.CapitalizeCommands != 0) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  text.append(argument.substr(0, kCommandMax - text.size()));
  return text;
}

int ModemChannel::WriteRaw(const void* bytes, int length) {
  // The loss of the device has been said once; every write until the port is opened anew
  // would fail the same way.
  if (device_gone_) return -1;
  SerialPort* port = port_.load(std::memory_order_acquire);
  int written = port ? port->Write(bytes, length) : -1;
  if (written < 0 && port != nullptr && port->DeviceGone()) {
    report_device_gone(*port);
    return written;
  }
  if (written < length) {
    char line[256];
    std::snprintf(line, sizeof line, "Failed writing to COM-Port (count:%d buf:%*.*s)", length,
                  length, length, static_cast<const char*>(bytes));
    log_.WriteDailyLog(line);
  }
  return written;
}

void ModemChannel::start_input_thread() {
  if (input_thread_.joinable()) return;
  stopping_ = false;
  input_thread_ = std::thread([this] { InputThread(); });
}

void ModemChannel::stop_input_thread() {
  stopping_ = true;
  // Only a running reader is woken: once it has ended, the port may be gone already (its
  // owner frees it after stopping the reader, and the destructor comes here again).
  if (!input_thread_.joinable()) return;
  if (SerialPort* port = port_.load(std::memory_order_acquire)) port->Interrupt();
  input_thread_.join();
}

bool ModemChannel::append_to_line(char byte) {
  std::lock_guard lock(line_mutex_);
  if (line_length_ >= kInputLineMax) return false;
  line_[line_length_++] = byte;
  return true;
}

void ModemChannel::clear_line() {
  std::lock_guard lock(line_mutex_);
  line_.fill(0);
  line_length_ = 0;
}

bool ModemChannel::PartialLineStartsWith(std::string_view text) const {
  std::lock_guard lock(line_mutex_);
  return line_length_ >= text.size() && std::string_view(line_.data(), text.size()) == text;
}

void ModemChannel::InputThread() {
  // Reads one byte at a time; a read that yields nothing is retried after 1 ms. A quiet
  // line is waited on in one long wait, which stop_input_thread cuts short.
  // A device that is gone ends the reader: the port is opened anew, with a reader of its
  // own, once it is back.
  auto read_byte = [this](unsigned char& byte) {
    while (!stopping_ && !device_gone_) {
      SerialPort* port = port_.load(std::memory_order_acquire);
      if (port != nullptr && port->WaitReadable(kQuietLineWaitMs) && !stopping_) {
        const int n = port->Read(&byte, 1);
        if (n == 1) {
          log_.TraceByte(byte);
          return true;
        }
        if (n < 0 && port->DeviceGone()) {
          report_device_gone(*port);
          return false;
        }
      }
      clock().sleep_ms(1);
    }
    return false;
  };

  unsigned char byte = 0;
  while (read_byte(byte)) {
    // Line ends of the previous line and empty lines are skipped.
    if (byte == '\r' || byte == '\n' || byte == 0) continue;
    append_to_line(static_cast<char>(byte));

    bool too_long = false;
    while (read_byte(byte)) {
      if (byte == '\r' || byte == '\n') break;
      if (!too_long && !append_to_line(static_cast<char>(byte))) {
        // A line longer than the buffer is cut; its rest is dropped, not parsed as a
        // line of its own that could pass for a reply.
        too_long = true;
      }
    }
    if (stopping_ || device_gone_) break;

    std::string line;
    {
      std::lock_guard lock(line_mutex_);
      line.assign(line_.data(), line_length_);
    }
    // A zero byte inside a line is kept: in the GSM alphabet it is '@', and a received
    // text must not lose everything after its first '@'.
    ParseResponseLine(line);
    clear_line();
  }
}

void ModemChannel::capture(std::string_view line) {
  std::lock_guard lock(capture_mutex_);
  // Whole lines or nothing: a cut listing entry could be read as another entry.
  if (CaptureBuffer.size() + line.size() + 1 > kCaptureMax) return;
  CaptureBuffer.append(line).push_back('\r');
}

void ModemChannel::start_list_capture() {
  {
    std::lock_guard lock(capture_mutex_);
    CaptureBuffer.clear();
  }
  after_list_header_ = false;
  ListCaptureMode = true;
}

void ModemChannel::start_query_capture() {
  {
    std::lock_guard lock(capture_mutex_);
    CaptureBuffer.clear();
  }
  QueryCaptureMode = true;
}

std::string ModemChannel::stop_capture() {
  ListCaptureMode = false;
  QueryCaptureMode = false;
  std::lock_guard lock(capture_mutex_);
  return CaptureBuffer;
}

std::string ModemChannel::ListLine() const {
  std::lock_guard lock(values_mutex_);
  return list_line_;
}

std::string ModemChannel::ServiceCentreReply() const {
  std::lock_guard lock(values_mutex_);
  return service_centre_reply_;
}

std::string ModemChannel::MmsHandle() const {
  std::lock_guard lock(values_mutex_);
  return mms_handle_;
}

void ModemChannel::ParseResponseLine(std::string_view line) {
  line = line.substr(0, kInputLineMax);
  log_.WriteDailyLog(masked_for_log(line));

  auto starts = [&line](std::string_view prefix) { return line.substr(0, prefix.size()) == prefix; };

  if (ListCaptureMode) {
    // A listing carries received texts, and a text may well read "OK" or "ERROR": the
    // line after an entry's header is always text, and only a whole line "OK" or
    // "ERROR" ends the listing. Otherwise a text could cut the listing short, or make
    // it look refused, and messages would be lost.
    bool text_line = after_list_header_;
    after_list_header_ = starts("+CMGL:");
    std::string_view bare = line.substr(0, line.find_last_not_of(' ') + 1);
    if (!text_line && bare == "OK") events.set(OkEvent);
    else if (!text_line && bare == "ERROR") events.set(ErrorEvent);
    else capture(line);
    return;
  }
  if (QueryCaptureMode) {
    if (starts("OK")) events.set(OkEvent);
    else capture(line);
    return;
  }

  std::string_view rest = rest_of(line);
  if (starts_with_nocase(line, "at")) return;  // our own command, echoed
  if (starts("OK")) {
    events.set(OkEvent);
  } else if (starts("ERROR")) {
    events.set(ErrorEvent);
  } else if (starts("+CPIN")) {
    sim_ready_ = starts_with_nocase(rest, "READY");
    events.set(PinStatusEvent);
  } else if (starts("+CFUN")) {
    functionality_level_ = parse_decimal(rest);
    events.set(FunctionalityEvent);
  } else if (starts("+CMGF")) {
    message_format_ = parse_decimal(rest);
    events.set(MessageFormatEvent);
  } else if (starts("+CMGL")) {
    {
      std::lock_guard lock(values_mutex_);
      list_line_ = cut(rest, kListLineMax);
    }
    events.set(ListLineEvent);
  } else if (starts("+CSCA")) {
    {
      std::lock_guard lock(values_mutex_);
      service_centre_reply_ = cut(rest, kServiceCentreReplyMax);
    }
    events.set(ServiceCentreEvent);
  } else if (starts("+CSQ:")) {
    // Signal quality is read through the query capture.
  } else if (starts("CONNECT")) {
    events.set(ConnectEvent);
  } else if (starts("+KPSW: \"")) {
    constexpr std::size_t kHandleLength = 22;
    {
      std::lock_guard lock(values_mutex_);
      // A reply too short to hold a whole handle leaves no handle: the sender treats it
      // as no reply instead of sending a cut handle back to the modem.
      mms_handle_ = rest.size() >= kHandleLength ? cut(rest, kHandleLength) + "\r" : "";
    }
    events.set(MmsStoredEvent);
  } else if (starts("+KPSSR")) {
    std::size_t comma = line.find(',');
    if (comma != std::string_view::npos && comma + 1 < line.size()) {
      char status = line[comma + 1];
      if (status == '0' || status == '1') {
        mms_sent_ = status == '0' ? 1 : 0;
        events.set(MmsSendReportEvent);
      }
    }
  } else if (starts("NO CARRIER")) {
    events.set(NoCarrierEvent);
  } else if (starts("+KPSW: (\"")) {
    std::size_t paren = line.find(')');
    if (paren != std::string_view::npos) {
      std::string_view after = line.substr(paren + 1);
      // The first comma-separated field, runs of commas counting as one.
      std::size_t start = after.find_first_not_of(',');
      mms_max_pdu_size_ = start == std::string_view::npos ? 0 : parse_decimal(after.substr(start));
    } else {
      mms_max_pdu_size_ = 0;
    }
    events.set(MmsMaxSizeEvent);
  }
}

}  // namespace qz
