// The gateway's one connection to the GSM modem: a serial device opened once at start-up,
// read byte by byte by the input thread and written by whichever thread sends a command.
//
// A read in progress never holds up a write: the two directions share nothing but the
// open device, so a write from one thread goes out while another thread waits in Read.
// One reader and one writer at a time; two concurrent writes are the callers' to prevent.
//
// This file and serial_port.cpp are the same on every system; the system's calls are
// behind serial_device.h, which also says where Linux and Windows differ (how the port is
// kept to this process, how an idle reader waits).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "modem/mode_string.h"
#include "modem/serial_device.h"

namespace qz {

class SerialPort {
 public:
  // Closed, with no line settings stored. `device` is a device path (see port_name.h).
  explicit SerialPort(std::string_view device = {});
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device for this process alone, puts it in raw mode without flow control,
  // re-applies the line settings a Configure stored, sets SetTimeouts(500) and purges.
  // 1 when open (also when it already was), 0 when not; LastError then tells why.
  int Open();

  // Applies a mode string such as "96,N,8,1" (see mode_string.h) and stores the baud rate,
  // data bits, parity and stop bits so a later Open re-applies them. A string the parser
  // refuses, a rate the device cannot take or a closed port change nothing; false then.
  bool Configure(std::string_view mode);

  // t = unit × 10 ms. A read waits at most t per byte asked for and t between two bytes;
  // a write of n bytes may take t × (n + 1). 0 (or less) means no time-out at all.
  void SetTimeouts(int unit);

  // Up to `count` bytes; 0 when the time-out ran out with nothing received; -1 when the
  // port is closed or the device failed (hung up, unplugged).
  int Read(void* buffer, int count);

  // Waits up to `ms` gateway milliseconds until a byte can be read (or the device failed,
  // which the next Read tells). False when the time ran out, the port is closed or an
  // Interrupt came. For the one reader, so that an idle line costs no wake-ups.
  bool WaitReadable(int64_t ms);
  // Ends the reader's WaitReadable at once (or its next one, when it is not waiting).
  // Safe from any thread.
  void Interrupt();

  // Bytes written, fewer than `count` when the time-out ran out first; -1 when the port
  // is closed or the device failed.
  int Write(const void* buffer, int count);

  // Discards whatever waits in the driver's receive and transmit buffers.
  void Purge();

  // The system's code of the latest failure (POSIX terms, see core/system_error.h), 0 when
  // there was none; printed as "0x%08X" in the start-up failure text.
  uint32_t LastError() const { return static_cast<uint32_t>(last_error_.load()); }
  // Whether the latest failed Read or Write says the device is gone (unplugged, powered
  // off, its driver unloaded): nothing comes through this open port any more, and the
  // device must be opened anew once it is back.
  bool DeviceGone() const { return device_gone_.load(); }

  bool is_open() const { return port_.load() != serial_device::kNoDevice; }
  const std::string& device() const { return device_; }
  // The settings a Configure stored; baud_rate 0 while none are. Flow control is not
  // among them. For the thread that opens and configures the port.
  LineSettings stored_settings() const { return stored_; }

 private:
  // The deadline of a wait of `gateway_ms` on the gateway's clock, from now.
  static serial_device::Deadline deadline_after(int64_t gateway_ms);

  std::string device_;
  LineSettings stored_{0, 8, Parity::None, StopBits::One, FlowControl::None};
  std::atomic<serial_device::Handle> port_{serial_device::kNoDevice};
  std::atomic<int> unit_{500};
  std::atomic<int> last_error_{0};
  // A byte the wait for one took off the line (Windows), for the next Read; -1 when none.
  std::atomic<int> taken_{-1};
  std::atomic<bool> device_gone_{false};
  serial_device::Handle interrupt_ = serial_device::kNoDevice;  // set by Interrupt, taken by a wait
};

}  // namespace qz
