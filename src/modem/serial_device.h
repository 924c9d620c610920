// The serial port's calls into the operating system: the only part of SerialPort that
// differs between systems, one implementation each in src/platform/<system>/. Everything
// the systems share (the stored line settings, the time-outs and their deadlines, the
// loops of Read and Write) is SerialPort's own, in serial_port.cpp.
//
// Every call that can fail returns false, -1 or kNoDevice and puts the system's code, in
// POSIX terms (see core/system_error.h), into `error`.
//
// Where Linux and Windows differ:
//   - Opening for this process alone: TIOCEXCL and flock on Linux; no sharing on Windows,
//     where a second opener gets "access denied" (Wine lets it in all the same).
//   - Line settings: termios on Linux (rates outside the fixed set through termios2);
//     BuildCommDCBA and SetCommState on Windows.
//   - Waiting: Linux waits in poll() for the device and the interrupt at once. Windows
//     tells of a byte only by reading it: an idle port waits in one overlapped read of one
//     byte, which the time-outs let end on the first byte, together with the interrupt;
//     the byte it reads is handed to the caller (the driver's comm events would tell
//     without reading, but kept the reader busy on a quiet line under Wine).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "modem/mode_string.h"

namespace qz::serial_device {

// An open device or an interrupt: a descriptor on Linux, a HANDLE on Windows.
using Handle = intptr_t;
inline constexpr Handle kNoDevice = -1;

// When a wait ends; time_point::max() waits without end.
using Deadline = std::chrono::steady_clock::time_point;
inline constexpr Deadline kNoDeadline = Deadline::max();
// Whole milliseconds left until `deadline`, rounded up: 0 once it has passed, -1 for none.
// Portable (serial_port.cpp); each platform turns it into its own wait argument.
int64_t ms_until(Deadline deadline);

// Opens `device` for this process alone, in raw mode (no echo, no line editing, no
// translation), without flow control, with DTR and RTS up as a modem expects of a ready
// terminal. Anything that is not a serial line (a file, /dev/null) is refused (ENOTTY);
// a port in use gives EBUSY.
Handle open(const std::string& device, int& error);
// Closes it and lets other programs open the device again.
void close(Handle port);

// The data bits, parity, stop bits and flow control the line has now (the rate where the
// system tells it, else 0).
std::optional<LineSettings> line_settings(Handle port, int& error);
// Puts `settings`, rate included, on the line. A device that refuses them, or falls back
// to another rate, keeps the settings it had: false then.
bool apply(Handle port, const LineSettings& settings, int& error);

// Waits until bytes arrive or `deadline` passes, then takes what has arrived, at most
// `count`: the number taken, 0 when the deadline passed first, -1 when the device failed
// (hung up, unplugged).
int read_some(Handle port, unsigned char* bytes, int count, Deadline deadline, int& error);
// Writes what the driver takes of `bytes`, waiting for room until `deadline`: the number
// written, 0 when the deadline passed first, -1 when the device failed.
int write_some(Handle port, const unsigned char* bytes, int count, Deadline deadline, int& error);
// Discards what waits in the driver's receive and transmit buffers.
void purge(Handle port);

// The reader's wake-up: one interrupt() ends one wait_readable(), the one under way or
// the next. make_interrupt() gives kNoDevice when the system has none to give; the port
// then waits out its time.
Handle make_interrupt();
void close_interrupt(Handle interrupt);
void interrupt(Handle interrupt);

// True once a byte can be read or the device failed (the next read says how); false when
// `deadline` passed or an interrupt came first. Where the system tells of a byte only by
// reading it (Windows), that byte is put into `taken`: it is the next byte of the line,
// ahead of anything read_some gives.
bool wait_readable(Handle port, Handle interrupt, Deadline deadline, std::optional<unsigned char>& taken);

}  // namespace qz::serial_device
