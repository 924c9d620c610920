// How the serial port's line settings become termios flags. Kept apart from the port so
// the mapping can be checked on its own: a pseudo-terminal, the only line a test has,
// forces 8 data bits and no parity whatever it is told.
#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

#include "modem/mode_string.h"

namespace qz::serial_termios {

// Raw line: no echo, no line editing, no signals, no CR/NL translation, no output
// processing, receiver on, modem-control lines ignored, no flow control, 8 data bits, no
// parity. The rate is left as it is. A read returns whatever has arrived.
void make_raw(termios& t);

// Puts data bits, parity, stop bits and flow control of `s` into `t` (not the rate);
// false, with `t` untouched, when this system cannot express them (mark or space parity
// without CMSPAR, hardware handshake without CRTSCTS, data bits outside 5..8).
bool set_framing(termios& t, const LineSettings& s);

// The data bits, parity, stop bits and flow control that `t` holds; baud_rate is 0.
LineSettings framing_of(const termios& t);

// The termios code of a rate in the fixed set (9600 → B9600); nullopt for any other rate.
std::optional<speed_t> standard_speed(uint32_t rate);

}  // namespace qz::serial_termios
