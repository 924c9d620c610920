// Line settings of the serial port and the parser of the `Mode` setting, the comma form of
// the mode strings that the operator knows from the MODE command: "96,N,8,1".
//
// Grammar, blanks (space or tab) allowed around every field:
//
//   [COMn[:]] baud [, parity [, data bits [, stop bits [, handshake]]]]
//
// - baud: a decimal number. The two-digit abbreviations 11, 15, 30, 60, 12, 24, 48, 96 and 19
//   stand for 110, 150, 300, 600, 1200, 2400, 4800, 9600 and 19200; any other number is the
//   rate itself. 0 is refused. The baud rate is the one field that must be present.
// - parity: one letter N, E, O, M or S (none, even, odd, mark, space), either case.
// - data bits: 5 to 8.
// - stop bits: 1, 1.5 or 2. 1.5 goes only with 5 data bits, 2 only with 6 to 8: a UART
//   cannot do the other combinations, so they are refused rather than silently changed.
// - handshake: x (XON/XOFF), p (hardware RTS/CTS) or empty; absent means no flow control.
//
// Parity, data bits and stop bits may be empty ("96,,,") or left off ("96,n,8"); the line
// then keeps its current value for that field. The settings sheet writes "96,,," when the
// operator leaves the fields blank, and keeping what the line has is the only reading of
// that which neither guesses nor drops the baud rate the operator did give. Flow control is
// always decided by the string: it is off unless the fifth field asks for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qz {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class FlowControl { None, XonXoff, Hardware };

struct LineSettings {
  uint32_t baud_rate = 9600;
  int data_bits = 8;
  Parity parity = Parity::None;
  StopBits stop_bits = StopBits::One;
  FlowControl flow = FlowControl::None;

  bool operator==(const LineSettings&) const = default;
};

// The line settings that `mode` asks for, starting from `current` for the fields it leaves
// empty; nullopt when the string is malformed, in which case nothing is to change.
std::optional<LineSettings> parse_mode_string(std::string_view mode, const LineSettings& current);

}  // namespace qz
