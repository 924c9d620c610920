#include "modem/mode_string.h"

#include <array>
#include <cctype>
#include <limits>
#include <string_view>

#include "core/text.h"

namespace qz {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal number that fits 32 bits; no sign, no blanks inside.
std::optional<uint32_t> parse_number(std::string_view s) {
  if (s.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : s) {
    if (!is_digit(c)) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

// Drops a leading "COMn:" (or "COMn " before the baud rate). Without a colon or a blank the
// port number would run into the baud rate, so one of them is required.
std::optional<std::string_view> skip_port_prefix(std::string_view s) {
  s = trim(s);
  if (!starts_with_nocase(s, "COM")) return s;
  s.remove_prefix(3);
  if (s.empty() || !is_digit(s.front())) return std::nullopt;
  while (!s.empty() && is_digit(s.front())) s.remove_prefix(1);
  if (s.empty() || (s.front() != ':' && !is_blank(s.front()))) return std::nullopt;
  s = trim(s);
  if (!s.empty() && s.front() == ':') s.remove_prefix(1);
  return trim(s);
}

uint32_t expand_baud(uint32_t n) {
  switch (n) {
    case 11: return 110;
    case 15: return 150;
    case 30: return 300;
    case 60: return 600;
    case 12: return 1200;
    case 24: return 2400;
    case 48: return 4800;
    case 96: return 9600;
    case 19: return 19200;
    default: return n;
  }
}

std::optional<Parity> parse_parity(std::string_view s) {
  if (s.size() != 1) return std::nullopt;
  switch (std::toupper(static_cast<unsigned char>(s[0]))) {
    case 'N': return Parity::None;
    case 'E': return Parity::Even;
    case 'O': return Parity::Odd;
    case 'M': return Parity::Mark;
    case 'S': return Parity::Space;
    default: return std::nullopt;
  }
}

std::optional<StopBits> parse_stop_bits(std::string_view s) {
  if (s == "1") return StopBits::One;
  if (s == "1.5") return StopBits::OneAndHalf;
  if (s == "2") return StopBits::Two;
  return std::nullopt;
}

std::optional<FlowControl> parse_flow(std::string_view s) {
  if (s.empty()) return FlowControl::None;
  if (s.size() != 1) return std::nullopt;
  switch (std::toupper(static_cast<unsigned char>(s[0]))) {
    case 'X': return FlowControl::XonXoff;
    case 'P': return FlowControl::Hardware;
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<LineSettings> parse_mode_string(std::string_view mode, const LineSettings& current) {
  std::optional<std::string_view> rest = skip_port_prefix(mode);
  if (!rest) return std::nullopt;

  // At most five fields; a sixth comma is as malformed as a bad letter.
  std::array<std::string_view, 5> fields{};
  std::size_t count = 0;
  std::string_view s = *rest;
  while (true) {
    if (count == fields.size()) return std::nullopt;
    std::size_t comma = s.find(',');
    fields[count++] = trim(s.substr(0, comma));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }

  LineSettings result = current;

  std::optional<uint32_t> baud = parse_number(fields[0]);
  if (!baud || *baud == 0) return std::nullopt;
  result.baud_rate = expand_baud(*baud);

  if (!fields[1].empty()) {
    std::optional<Parity> parity = parse_parity(fields[1]);
    if (!parity) return std::nullopt;
    result.parity = *parity;
  }
  if (!fields[2].empty()) {
    std::optional<uint32_t> bits = parse_number(fields[2]);
    if (!bits || *bits < 5 || *bits > 8) return std::nullopt;
    result.data_bits = static_cast<int>(*bits);
  }
  if (!fields[3].empty()) {
    std::optional<StopBits> stop = parse_stop_bits(fields[3]);
    if (!stop) return std::nullopt;
    result.stop_bits = *stop;
  }
  std::optional<FlowControl> flow = parse_flow(fields[4]);
  if (!flow) return std::nullopt;
  result.flow = *flow;

  if (result.data_bits < 5 || result.data_bits > 8) return std::nullopt;
  if (result.stop_bits == StopBits::OneAndHalf && result.data_bits != 5) return std::nullopt;
  if (result.stop_bits == StopBits::Two && result.data_bits == 5) return std::nullopt;
  return result;
}

}  // namespace qz
