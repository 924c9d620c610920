// The AT command channel: turns the serial byte stream into lines, classifies each line
// by its prefix, stores the values some replies carry and sets the matching event.
//
// Every modem user follows one protocol: hold ModemLock, clear the events it will wait
// on (and start a capture if it needs one), write its command, wait with a time-out,
// read the captured values, release the lock. Events are cleared only before a command
// is written, never between the command and the wait.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/worker_progress.h"
#include "modem/response_events.h"

namespace qz {

class GatewayLog;
class SerialPort;
struct Settings;

class ModemChannel {
 public:
  static constexpr std::size_t kInputLineMax = 511;
  static constexpr std::size_t kCaptureMax = 32767;
  static constexpr std::size_t kListLineMax = 255;
  static constexpr std::size_t kServiceCentreReplyMax = 127;
  static constexpr std::size_t kCommandMax = 1023;

  ModemChannel(GatewayLog& log, const Settings& settings);
  ~ModemChannel();
  ModemChannel(const ModemChannel&) = delete;
  ModemChannel& operator=(const ModemChannel&) = delete;

  // The port the channel writes to and InputThread reads from (nullptr: none yet). A port
  // opened anew ends the state of a device gone.
  void attach(SerialPort* port);

  // Called once when a read or a write says the device is gone (SerialPort::DeviceGone),
  // with the system's reason; from then on, until a port is attached anew, the reader has
  // ended, nothing is written and every wait for a reply ends at once. Set before the
  // reader starts.
  void on_device_gone(std::function<void(const std::string&)> hook) { device_gone_hook_ = std::move(hook); }
  bool device_gone() const { return device_gone_.load(); }

  // The message format the modem is in, as far as the gateway knows (message_format.h):
  // set by whoever switches it, not known on a port opened anew.
  enum class MessageMode { kUnknown, kText, kPdu };
  void set_message_mode(MessageMode mode) { message_mode_ = mode; }
  MessageMode message_mode() const { return message_mode_.load(); }

  // Writes command + argument in one piece (the caller supplies the final CR). The command
  // word goes out in capitals when CapitalizeCommands is set; the argument never changes.
  // Waits out FloodProtection since the previous command. -1 without a port.
  int SendCommand(std::string_view command, std::string_view argument);
  int SendCommand(std::string_view command) { return SendCommand(command, {}); }
  // Writes bytes as they are; a short write is logged. Returns the port's result.
  int WriteRaw(const void* bytes, int length);
  // For a process about to end: writes command + argument as SendCommand would, but at
  // once, without pacing or waiting for another writer, and gives the port about a second
  // to take it. The port's reads and writes are short-timed from then on.
  void SendCommandBeforeExit(std::string_view command, std::string_view argument);

  int WaitOk(int64_t ms) { return events.wait(OkEvent, ms) ? 0 : -1; }
  int WaitOkOrError(int64_t ms) { return events.wait_either(OkEvent, ErrorEvent, ms); }
  int WaitFunctionalityOrError(int64_t ms) {
    return events.wait_either(FunctionalityEvent, ErrorEvent, ms);
  }

  // Handles one received line (without its line end).
  void ParseResponseLine(std::string_view line);

  // Whether the line InputThread is still assembling starts with `text` (the "> " prompt).
  bool PartialLineStartsWith(std::string_view text) const;

  // Starts / stops the reader thread. The gateway never stops it; tests do.
  void start_input_thread();
  void stop_input_thread();

  // Capture of multi-line replies. start_* empties CaptureBuffer and switches the mode on;
  // stop_capture switches it off and hands back what was collected.
  void start_list_capture();
  void start_query_capture();
  std::string stop_capture();

  // Captured values, each stored before its event is set.
  bool SimReady() const { return sim_ready_.load(); }
  int32_t FunctionalityLevel() const { return functionality_level_.load(); }
  int32_t MessageFormat() const { return message_format_.load(); }
  int32_t MmsMaxPduSize() const { return mms_max_pdu_size_.load(); }
  int32_t MmsSent() const { return mms_sent_.load(); }
  std::string ListLine() const;
  std::string ServiceCentreReply() const;
  // Empty when the stored-MMS reply was too short to hold a handle.
  std::string MmsHandle() const;

  ResponseEvents events;
  // One whole exchange with the modem at a time. A worker waiting for it waits for the
  // holder, whose own waits are limited (worker_progress.h).
  ProgressMutex ModemLock;

 private:
  void InputThread();
  // Appends one byte to the line being assembled; false when the line is full.
  bool append_to_line(char byte);
  void clear_line();
  void capture(std::string_view line);
  void report_device_gone(const SerialPort& port);
  // The command word (in capitals under CapitalizeCommands) and the argument, as written.
  std::string command_text(std::string_view command, std::string_view argument) const;

  GatewayLog& log_;
  const Settings& settings_;
  std::atomic<SerialPort*> port_{nullptr};

  std::thread input_thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> device_gone_{false};
  std::atomic<MessageMode> message_mode_{MessageMode::kUnknown};
  std::function<void(const std::string&)> device_gone_hook_;

  // The line being assembled; read by PartialLineStartsWith from other threads.
  mutable std::mutex line_mutex_;
  std::array<char, kInputLineMax + 1> line_{};
  std::size_t line_length_ = 0;

  std::atomic<bool> ListCaptureMode{false};
  // Whether the previous listing line was an entry's header.
  std::atomic<bool> after_list_header_{false};
  std::atomic<bool> QueryCaptureMode{false};
  std::mutex capture_mutex_;
  std::string CaptureBuffer;

  std::atomic<bool> sim_ready_{false};
  std::atomic<int32_t> functionality_level_{-1};
  std::atomic<int32_t> message_format_{-1};
  std::atomic<int32_t> mms_max_pdu_size_{0};
  std::atomic<int32_t> mms_sent_{0};
  mutable std::mutex values_mutex_;
  std::string list_line_;
  std::string service_centre_reply_;
  std::string mms_handle_;

  std::mutex send_mutex_;  // guards the pacing time
  int64_t last_send_ms_ = 0;
  bool sent_before_ = false;
};

}  // namespace qz
