// The serial port on a Windows COM device.
//
// The handle is opened for overlapped I/O: on a handle without it Windows runs one request
// at a time, and a write would wait behind the input thread's read. Every read and write
// waits on its own event with our deadline and is cancelled when the deadline passes, so a
// thread never sits in the driver longer than the time-out the gateway set.
//
// The line settings go through the platform's own BuildCommDCBA, fed from our parser of the
// mode string (which keeps the current value of a field the string leaves empty).
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <string>

#include "core/clock.h"
#include "modem/serial_port.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/windows_text.h"

namespace qz {

namespace {

using Steady = std::chrono::steady_clock;

// Kernel handles fit in 32 bits (Windows keeps them so for 32-bit processes), so the
// descriptor slot of the port holds one.
HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

// Longest single wait; see the Linux port for why.
constexpr int64_t kMaxWaitMs = INT_MAX;

int64_t wait_ms(int64_t t_ms, int64_t factor, int64_t extra) {
  if (t_ms <= 0) return 0;
  if (factor > (kMaxWaitMs - extra) / t_ms) return kMaxWaitMs;
  return std::min(kMaxWaitMs, t_ms * factor + extra);
}

Steady::time_point deadline_after(int64_t gateway_ms) {
  return Steady::now() + std::chrono::duration_cast<Steady::duration>(clock().real_duration(gateway_ms));
}

// Milliseconds left until `deadline` for WaitForSingleObject: 0 once it passed, at least 1
// before that, INFINITE for no deadline.
DWORD wait_timeout(Steady::time_point deadline) {
  if (deadline == Steady::time_point::max()) return INFINITE;
  auto left = deadline - Steady::now();
  if (left <= Steady::duration::zero()) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<DWORD>(std::clamp<int64_t>(ms, 1, INFINITE - 1));
}

// What a USB serial device that was unplugged answers, before and after its handle goes
// stale; a request the system aborts without our asking is the same.
bool means_device_gone(DWORD code) {
  switch (code) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_FILE_NOT_FOUND:
      return true;
    default:
      return false;
  }
}

// One overlapped request, waited for until `deadline` and cancelled after it. The bytes
// moved (also those of a request we cancelled), or -1 with `error` set when the device
// failed (`gone` when that says it is gone).
int finish_request(HANDLE h, OVERLAPPED& o, BOOL started, Steady::time_point deadline, int& error, bool& gone) {
  if (!started && GetLastError() != ERROR_IO_PENDING) {
    const DWORD code = GetLastError();
    error = errno_from_windows(code);
    gone = means_device_gone(code);
    return -1;
  }
  const bool cancelled = WaitForSingleObject(o.hEvent, wait_timeout(deadline)) != WAIT_OBJECT_0;
  if (cancelled) CancelIoEx(h, &o);
  DWORD moved = 0;
  if (!GetOverlappedResult(h, &o, &moved, TRUE)) {
    const DWORD code = GetLastError();
    if (code == ERROR_OPERATION_ABORTED && cancelled) return static_cast<int>(moved);
    error = errno_from_windows(code);
    gone = means_device_gone(code);
    return moved > 0 ? static_cast<int>(moved) : -1;
  }
  return static_cast<int>(moved);
}

struct Event {
  HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~Event() {
    if (h) CloseHandle(h);
  }
};

char parity_letter(Parity p) {
  switch (p) {
    case Parity::Odd: return 'o';
    case Parity::Even: return 'e';
    case Parity::Mark: return 'm';
    case Parity::Space: return 's';
    case Parity::None: break;
  }
  return 'n';
}

const char* stop_text(StopBits s) {
  switch (s) {
    case StopBits::OneAndHalf: return "1.5";
    case StopBits::Two: return "2";
    case StopBits::One: break;
  }
  return "1";
}

LineSettings settings_of(const DCB& dcb) {
  LineSettings s;
  s.baud_rate = dcb.BaudRate;
  s.data_bits = dcb.ByteSize;
  switch (dcb.Parity) {
    case ODDPARITY: s.parity = Parity::Odd; break;
    case EVENPARITY: s.parity = Parity::Even; break;
    case MARKPARITY: s.parity = Parity::Mark; break;
    case SPACEPARITY: s.parity = Parity::Space; break;
    default: s.parity = Parity::None; break;
  }
  s.stop_bits = dcb.StopBits == ONE5STOPBITS ? StopBits::OneAndHalf
              : dcb.StopBits == TWOSTOPBITS  ? StopBits::Two
                                             : StopBits::One;
  s.flow = dcb.fOutxCtsFlow ? FlowControl::Hardware : dcb.fOutX ? FlowControl::XonXoff : FlowControl::None;
  return s;
}

// Puts `s` on the line through BuildCommDCBA; the device's settings stay as they were when
// the platform or the driver refuses them.
bool apply_line_settings(HANDLE h, const LineSettings& s, int& error) {
  DCB old{};
  old.DCBlength = sizeof old;
  if (!GetCommState(h, &old)) {
    error = errno_from_windows(GetLastError());
    return false;
  }
  DCB dcb = old;
  std::string mode = "baud=" + std::to_string(s.baud_rate) + " parity=" + parity_letter(s.parity) +
                     " data=" + std::to_string(s.data_bits) + " stop=" + stop_text(s.stop_bits) +
                     (s.flow == FlowControl::XonXoff ? " xon=on" : " xon=off") +
                     (s.flow == FlowControl::Hardware ? " octs=on rts=hs" : " octs=off rts=on") +
                     " dtr=on odsr=off idsr=off to=off";
  if (!BuildCommDCBA(mode.c_str(), &dcb)) {
    error = EINVAL;
    return false;
  }
  dcb.fBinary = TRUE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) {
    error = errno_from_windows(GetLastError());
    SetCommState(h, &old);
    return false;
  }
  return true;
}

}  // namespace

// The interrupt is an auto-reset event: one Interrupt ends one wait, as the Linux port's
// counter does.
SerialPort::SerialPort(std::string_view device)
    : device_(device),
      interrupt_fd_(static_cast<int>(reinterpret_cast<intptr_t>(CreateEventW(nullptr, FALSE, FALSE, nullptr)))) {}

SerialPort::~SerialPort() {
  if (interrupt_fd_ != 0) CloseHandle(handle_of(interrupt_fd_));
  int fd = fd_.exchange(-1);
  if (fd >= 0) CloseHandle(handle_of(fd));
}

int SerialPort::Open() {
  if (fd_.load() >= 0) return 1;
  // No sharing: Windows gives a COM port to one handle at a time, and a second opener gets
  // "access denied", which is the "in use" case.
  HANDLE h = CreateFileW(widen(device_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    last_error_ = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? EBUSY : errno_from_windows(code);
    return 0;
  }
  if (GetFileType(h) != FILE_TYPE_CHAR) {
    CloseHandle(h);
    last_error_ = ENOTTY;
    return 0;
  }
  // Raw: no flow control, DTR and RTS up as the modem expects of a ready terminal.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(h, &dcb)) {
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    SetCommState(h, &dcb);
  }
  // A read returns as soon as a byte is there and otherwise waits for one; our own deadline
  // (finish_request) ends the wait. Writes have no driver time-out for the same reason.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = MAXDWORD - 1;
  SetCommTimeouts(h, &timeouts);

  if (stored_.baud_rate != 0) {
    LineSettings again = stored_;
    again.flow = FlowControl::None;
    int error = 0;
    if (!apply_line_settings(h, again, error)) last_error_ = error;
  }
  fd_.store(static_cast<int>(reinterpret_cast<intptr_t>(h)));
  SetTimeouts(500);
  Purge();
  return 1;
}

bool SerialPort::Configure(std::string_view mode) {
  int fd = fd_.load();
  if (fd < 0) {
    last_error_ = EBADF;
    return false;
  }
  DCB current{};
  current.DCBlength = sizeof current;
  if (!GetCommState(handle_of(fd), &current)) {
    last_error_ = errno_from_windows(GetLastError());
    return false;
  }
  LineSettings base = settings_of(current);
  base.baud_rate = stored_.baud_rate;
  std::optional<LineSettings> wanted = parse_mode_string(mode, base);
  if (!wanted) {
    last_error_ = EINVAL;
    return false;
  }
  int error = 0;
  if (!apply_line_settings(handle_of(fd), *wanted, error)) {
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
  int fd = fd_.load();
  if (fd < 0 || count < 0 || (buffer == nullptr && count > 0)) return -1;
  if (count == 0) return 0;
  HANDLE h = handle_of(fd);

  auto* bytes = static_cast<unsigned char*>(buffer);
  const int64_t t = static_cast<int64_t>(unit_.load()) * 10;
  const bool timed = t > 0;
  // t per byte asked for in all, and t of silence after a byte ends the read early.
  const Steady::time_point total = timed ? deadline_after(wait_ms(t, count, 0)) : Steady::time_point::max();
  const Steady::duration gap =
      timed ? std::chrono::duration_cast<Steady::duration>(clock().real_duration(t)) : Steady::duration::zero();
  Steady::time_point deadline = total;

  Event done;
  int got = 0;
  while (got < count) {
    if (wait_timeout(deadline) == 0) break;
    OVERLAPPED o{};
    o.hEvent = done.h;
    ResetEvent(done.h);
    BOOL started = ReadFile(h, bytes + got, static_cast<DWORD>(count - got), nullptr, &o);
    int error = 0;
    bool gone = false;
    int n = finish_request(h, o, started, deadline, error, gone);
    if (n < 0) {
      last_error_ = error;
      device_gone_ = gone;
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
  int fd = fd_.load();
  if (fd < 0) return false;
  HANDLE h = handle_of(fd);
  HANDLE interrupt = handle_of(interrupt_fd_);
  const Steady::time_point deadline = deadline_after(ms);
  // The driver's comm events (WaitCommEvent) would save these looks, but under Wine they
  // kept the reader busy on a quiet line; a short look costs little and keeps a reply's
  // delay under one look.
  constexpr DWORD kLookEveryMs = 20;
  for (;;) {
    COMSTAT stat{};
    DWORD errors = 0;
    // A device that failed is readable: the next Read says what went wrong.
    if (!ClearCommError(h, &errors, &stat) || stat.cbInQue > 0) return true;
    const DWORD left = wait_timeout(deadline);
    if (left == 0) return false;
    if (WaitForSingleObject(interrupt, std::min(left, kLookEveryMs)) == WAIT_OBJECT_0) return false;
  }
}

void SerialPort::Interrupt() {
  if (interrupt_fd_ != 0) SetEvent(handle_of(interrupt_fd_));
}

int SerialPort::Write(const void* buffer, int count) {
  int fd = fd_.load();
  if (fd < 0 || count < 0 || (buffer == nullptr && count > 0)) return -1;
  if (count == 0) return 0;
  HANDLE h = handle_of(fd);

  const auto* bytes = static_cast<const unsigned char*>(buffer);
  const int64_t t = static_cast<int64_t>(unit_.load()) * 10;
  const Steady::time_point deadline =
      t > 0 ? deadline_after(wait_ms(t, count, t)) : Steady::time_point::max();

  Event done;
  int written = 0;
  while (written < count) {
    if (wait_timeout(deadline) == 0) break;
    OVERLAPPED o{};
    o.hEvent = done.h;
    ResetEvent(done.h);
    BOOL started = WriteFile(h, bytes + written, static_cast<DWORD>(count - written), nullptr, &o);
    int error = 0;
    bool gone = false;
    int n = finish_request(h, o, started, deadline, error, gone);
    if (n < 0) {
      last_error_ = error;
      device_gone_ = gone;
      return -1;
    }
    written += n;
  }
  return written;
}

void SerialPort::Purge() {
  int fd = fd_.load();
  if (fd >= 0) PurgeComm(handle_of(fd), PURGE_RXCLEAR | PURGE_TXCLEAR);
}

}  // namespace qz
