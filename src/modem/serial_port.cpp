#include "modem/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "core/clock.h"

namespace qz {

namespace device = serial_device;
using Steady = std::chrono::steady_clock;

namespace {

// Longest single wait, about 24 days: far beyond any time-out the gateway sets, and small
// enough that unit × 10 × count cannot overflow on its way through the clock.
constexpr int64_t kMaxWaitMs = INT_MAX;

// t_ms × factor + extra, held to kMaxWaitMs.
int64_t wait_ms(int64_t t_ms, int64_t factor, int64_t extra) {
  if (t_ms <= 0) return 0;
  if (factor > (kMaxWaitMs - extra) / t_ms) return kMaxWaitMs;
  return std::min(kMaxWaitMs, t_ms * factor + extra);
}

// A device that went away (a USB modem unplugged, its driver unloaded) answers EIO, ENXIO
// or ENODEV, and a line that hangs up is the same; each platform says so in these terms.
bool means_device_gone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

}  // namespace

int64_t device::ms_until(Deadline deadline) {
  if (deadline == kNoDeadline) return -1;
  const auto left = deadline - Steady::now();
  if (left <= Steady::duration::zero()) return 0;
  // At least 1 before the deadline, so a short wait does not turn into a busy loop.
  return std::max<int64_t>(1, std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

device::Deadline SerialPort::deadline_after(int64_t gateway_ms) {
  return Steady::now() + std::chrono::duration_cast<Steady::duration>(clock().real_duration(gateway_ms));
}

SerialPort::SerialPort(std::string_view device) : device_(device), interrupt_(device::make_interrupt()) {}

SerialPort::~SerialPort() {
  device::close_interrupt(interrupt_);
  const device::Handle port = port_.exchange(device::kNoDevice);
  if (port != device::kNoDevice) device::close(port);
}

int SerialPort::Open() {
  if (is_open()) return 1;
  int error = 0;
  const device::Handle port = device::open(device_, error);
  if (port == device::kNoDevice) {
    last_error_ = error;
    return 0;
  }
  if (stored_.baud_rate != 0) {
    // Flow control is not among the stored settings; the line keeps it off.
    LineSettings again = stored_;
    again.flow = FlowControl::None;
    if (!device::apply(port, again, error)) last_error_ = error;
  }
  port_.store(port);
  SetTimeouts(500);
  Purge();
  return 1;
}

bool SerialPort::Configure(std::string_view mode) {
  const device::Handle port = port_.load();
  if (port == device::kNoDevice) {
    last_error_ = EBADF;
    return false;
  }
  int error = 0;
  std::optional<LineSettings> current = device::line_settings(port, error);
  if (!current) {
    last_error_ = error;
    return false;
  }
  // A field the string leaves empty keeps the line's value; the rate is the stored one.
  LineSettings base = *current;
  base.baud_rate = stored_.baud_rate;
  std::optional<LineSettings> wanted = parse_mode_string(mode, base);
  if (!wanted) {
    last_error_ = EINVAL;
    return false;
  }
  if (!device::apply(port, *wanted, error)) {
    last_error_ = error;
    return false;
  }
  stored_.baud_rate = wanted->baud_rate;
  stored_.data_bits = wanted->data_bits;
  stored_.parity = wanted->parity;
  stored_.stop_bits = wanted->stop_bits;
  return true;
}

void SerialPort::SetTimeouts(int unit) { unit_.store(unit < 0 ? 0 : unit); }

int SerialPort::Read(void* buffer, int count) {
  const device::Handle port = port_.load();
  if (port == device::kNoDevice || count < 0 || (buffer == nullptr && count > 0)) return -1;
  if (count == 0) return 0;

  auto* bytes = static_cast<unsigned char*>(buffer);
  const int64_t t = static_cast<int64_t>(unit_.load()) * 10;
  const bool timed = t > 0;
  // t per byte asked for in all, and t of silence after a byte ends the read early.
  const device::Deadline total = timed ? deadline_after(wait_ms(t, count, 0)) : device::kNoDeadline;
  const Steady::duration gap =
      timed ? std::chrono::duration_cast<Steady::duration>(clock().real_duration(t)) : Steady::duration::zero();
  device::Deadline deadline = total;

  int got = 0;
  if (const int taken = taken_.exchange(-1); taken >= 0) {
    bytes[got++] = static_cast<unsigned char>(taken);
    if (timed) deadline = std::min(total, Steady::now() + gap);
  }
  while (got < count && device::ms_until(deadline) != 0) {
    int error = 0;
    const int n = device::read_some(port, bytes + got, count - got, deadline, error);
    if (n < 0) {
      last_error_ = error;
      device_gone_ = means_device_gone(error);
      return got > 0 ? got : -1;  // bytes already read are handed over, not lost
    }
    if (n > 0) {
      got += n;
      if (timed) deadline = std::min(total, Steady::now() + gap);
    }
  }
  return got;
}

bool SerialPort::WaitReadable(int64_t ms) {
  const device::Handle port = port_.load();
  if (port == device::kNoDevice) return false;
  if (taken_.load() >= 0) return true;
  std::optional<unsigned char> taken;
  const bool readable = device::wait_readable(port, interrupt_, deadline_after(ms), taken);
  if (taken) taken_.store(*taken);
  return readable || taken.has_value();
}

void SerialPort::Interrupt() { device::interrupt(interrupt_); }

int SerialPort::Write(const void* buffer, int count) {
  const device::Handle port = port_.load();
  if (port == device::kNoDevice || count < 0 || (buffer == nullptr && count > 0)) return -1;
  if (count == 0) return 0;

  const auto* bytes = static_cast<const unsigned char*>(buffer);
  const int64_t t = static_cast<int64_t>(unit_.load()) * 10;
  const device::Deadline deadline = t > 0 ? deadline_after(wait_ms(t, count, t)) : device::kNoDeadline;

  int done = 0;
  while (done < count && device::ms_until(deadline) != 0) {
    int error = 0;
    const int n = device::write_some(port, bytes + done, count - done, deadline, error);
    if (n < 0) {
      last_error_ = error;
      device_gone_ = means_device_gone(error);
      return -1;
    }
    done += n;
  }
  return done;
}

void SerialPort::Purge() {
  const device::Handle port = port_.load();
  if (port != device::kNoDevice) device::purge(port);
  taken_.store(-1);
}

}  // namespace qz
