// The serial port's system calls on a Windows COM device (modem/serial_device.h).
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
#include <optional>
#include <cerrno>
#include <string>

#include "modem/serial_device.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/windows_text.h"

namespace qz::serial_device {

namespace {

HANDLE handle_of(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// Milliseconds left until `deadline` for WaitForSingleObject.
DWORD wait_timeout(Deadline deadline) {
  const int64_t ms = ms_until(deadline);
  return ms < 0 ? INFINITE : static_cast<DWORD>(std::min<int64_t>(ms, INFINITE - 1));
}

// A request's failure in POSIX terms. What a USB serial device that was unplugged answers,
// before and after its handle goes stale (a request the system aborts without our asking
// among it), is ENODEV: the device is gone (SerialPort::DeviceGone).
int request_error(DWORD code) {
  switch (code) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_FILE_NOT_FOUND:
      return ENODEV;
    default:
      return errno_from_windows(code);
  }
}

// One overlapped request, waited for until `deadline` and cancelled after it. The bytes
// moved (also those of a request we cancelled), or -1 with `error` set when the device
// failed.
int finish_request(HANDLE h, OVERLAPPED& o, BOOL started, Deadline deadline, int& error) {
  if (!started && GetLastError() != ERROR_IO_PENDING) {
    error = request_error(GetLastError());
    return -1;
  }
  const bool cancelled = WaitForSingleObject(o.hEvent, wait_timeout(deadline)) != WAIT_OBJECT_0;
  if (cancelled) CancelIoEx(h, &o);
  DWORD moved = 0;
  if (!GetOverlappedResult(h, &o, &moved, TRUE)) {
    const DWORD code = GetLastError();
    if (code == ERROR_OPERATION_ABORTED && cancelled) return static_cast<int>(moved);
    error = request_error(code);
    return moved > 0 ? static_cast<int>(moved) : -1;
  }
  return static_cast<int>(moved);
}

// A manual-reset event for one request, closed with it.
struct RequestEvent {
  HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~RequestEvent() {
    if (h) CloseHandle(h);
  }
};

// One overlapped request that `start` issues (ReadFile or WriteFile), finished as
// finish_request says.
template <typename Start>
int request(Handle port, Deadline deadline, int& error, Start start) {
  const HANDLE h = handle_of(port);
  RequestEvent done;
  OVERLAPPED o{};
  o.hEvent = done.h;
  const BOOL started = start(h, o);
  return finish_request(h, o, started, deadline, error);
}

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

}  // namespace

std::optional<LineSettings> line_settings(Handle port, int& error) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_of(port), &dcb)) {
    error = errno_from_windows(GetLastError());
    return std::nullopt;
  }
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
bool apply(Handle port, const LineSettings& s, int& error) {
  const HANDLE h = handle_of(port);
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

Handle open(const std::string& device, int& error) {
  // No sharing: Windows gives a COM port to one handle at a time, and a second opener gets
  // "access denied", which is the "in use" case.
  HANDLE h = CreateFileW(widen(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? EBUSY : errno_from_windows(code);
    return kNoDevice;
  }
  if (GetFileType(h) != FILE_TYPE_CHAR) {
    CloseHandle(h);
    error = ENOTTY;
    return kNoDevice;
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
  return reinterpret_cast<Handle>(h);
}

void close(Handle port) { CloseHandle(handle_of(port)); }

int read_some(Handle port, unsigned char* bytes, int count, Deadline deadline, int& error) {
  return request(port, deadline, error, [&](HANDLE h, OVERLAPPED& o) {
    return ReadFile(h, bytes, static_cast<DWORD>(count), nullptr, &o);
  });
}

int write_some(Handle port, const unsigned char* bytes, int count, Deadline deadline, int& error) {
  return request(port, deadline, error, [&](HANDLE h, OVERLAPPED& o) {
    return WriteFile(h, bytes, static_cast<DWORD>(count), nullptr, &o);
  });
}

void purge(Handle port) { PurgeComm(handle_of(port), PURGE_RXCLEAR | PURGE_TXCLEAR); }

// An auto-reset event: one interrupt() ends one wait, as the Linux port's counter does.
Handle make_interrupt() {
  HANDLE h = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return h == nullptr ? kNoDevice : reinterpret_cast<Handle>(h);
}

void close_interrupt(Handle interrupt) {
  if (interrupt != kNoDevice) CloseHandle(handle_of(interrupt));
}

void interrupt(Handle interrupt) {
  if (interrupt != kNoDevice) SetEvent(handle_of(interrupt));
}

// One overlapped read of one byte: the time-outs open() sets let it end on the first byte
// that arrives, so an idle line costs one wait and no looks. The wait ends early on the
// interrupt; the read is then cancelled, and a byte it took meanwhile is handed over all
// the same.
bool wait_readable(Handle port, Handle interrupt, Deadline deadline, std::optional<unsigned char>& taken) {
  const HANDLE h = handle_of(port);
  COMSTAT stat{};
  DWORD errors = 0;
  // A device that failed is readable: the next read says what went wrong.
  if (!ClearCommError(h, &errors, &stat) || stat.cbInQue > 0) return true;
  RequestEvent done;
  OVERLAPPED o{};
  o.hEvent = done.h;
  unsigned char byte = 0;
  if (!ReadFile(h, &byte, 1, nullptr, &o) && GetLastError() != ERROR_IO_PENDING) return true;
  HANDLE events[2] = {done.h, handle_of(interrupt)};
  const DWORD count = interrupt == kNoDevice ? 1 : 2;
  if (WaitForMultipleObjects(count, events, FALSE, wait_timeout(deadline)) != WAIT_OBJECT_0) CancelIoEx(h, &o);
  DWORD moved = 0;
  const BOOL completed = GetOverlappedResult(h, &o, &moved, TRUE);
  if (moved == 1) {
    taken = byte;
    return true;
  }
  return !completed && GetLastError() != ERROR_OPERATION_ABORTED;
}

}  // namespace qz::serial_device
