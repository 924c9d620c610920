// The Mode setting is typed by the operator. Whatever it says, the parser either refuses
// it or gives line settings a UART can take; what it gives, written back out in full,
// reads as the same settings; and a port prefix changes nothing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "modem/mode_string.h"

namespace {

using qz::FlowControl;
using qz::LineSettings;
using qz::Parity;
using qz::StopBits;

bool sound(const LineSettings& s) {
  if (s.baud_rate == 0 || s.data_bits < 5 || s.data_bits > 8) return false;
  if (s.stop_bits == StopBits::OneAndHalf) return s.data_bits == 5;
  if (s.stop_bits == StopBits::Two) return s.data_bits != 5;
  return true;
}

// Every field spelt out, so nothing comes from the line's current settings.
std::string written_out(const LineSettings& s) {
  static constexpr const char* kParity[] = {"n", "o", "e", "m", "s"};
  static constexpr const char* kStop[] = {"1", "1.5", "2"};
  static constexpr const char* kFlow[] = {"", "x", "p"};
  return std::to_string(s.baud_rate) + "," + kParity[static_cast<int>(s.parity)] + "," +
         std::to_string(s.data_bits) + "," + kStop[static_cast<int>(s.stop_bits)] + "," +
         kFlow[static_cast<int>(s.flow)];
}

bool starts_with_com(std::string_view mode) {
  std::size_t first = mode.find_first_not_of(" \t");
  if (first == std::string_view::npos || mode.size() - first < 3) return false;
  std::string_view word = mode.substr(first, 3);
  return (word[0] | 0x20) == 'c' && (word[1] | 0x20) == 'o' && (word[2] | 0x20) == 'm';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view mode(reinterpret_cast<const char*>(data), size);
  // The defaults, a line in another sound state, and one in a state no UART has.
  const LineSettings lines[] = {
      LineSettings{},
      LineSettings{19200, 7, Parity::Even, StopBits::Two, FlowControl::Hardware},
      LineSettings{0, 4, Parity::Mark, StopBits::OneAndHalf, FlowControl::XonXoff},
  };
  for (const LineSettings& current : lines) {
    const std::optional<LineSettings> got = qz::parse_mode_string(mode, current);
    if (!got) continue;
    FUZZ_CHECK(sound(*got));
    const std::optional<LineSettings> again = qz::parse_mode_string(written_out(*got), lines[2]);
    FUZZ_CHECK(again && *again == *got);
    if (!starts_with_com(mode)) {
      const std::string prefixed = "COM3: " + std::string(mode);
      FUZZ_CHECK(qz::parse_mode_string(prefixed, current) == got);
    }
  }
  return 0;
}
