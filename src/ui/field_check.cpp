#include "ui/field_check.h"

#include <algorithm>

#include "core/utf8.h"

namespace qz::ui {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<int64_t> ReadNumberField(std::string_view text, NumberKind kind, int64_t min,
                                       int64_t max, std::string* prompt) {
  const std::string_view trimmed = Trimmed(text);
  std::size_t i = 0;
  bool negative = false;
  if (kind == NumberKind::kInteger && i < trimmed.size() && (trimmed[i] == '-' || trimmed[i] == '+')) {
    negative = trimmed[i] == '-';
    ++i;
  }
  const std::size_t first_digit = i;
  // Far beyond any field's range, so the sum never overflows while digits remain.
  constexpr int64_t kCeiling = int64_t{1} << 40;
  int64_t magnitude = 0;
  for (; i < trimmed.size() && IsDigit(trimmed[i]); ++i)
    magnitude = std::min(kCeiling, magnitude * 10 + (trimmed[i] - '0'));
  if (i == first_digit || i != trimmed.size()) {
    *prompt = kind == NumberKind::kInteger ? "Please enter an integer." : "Please enter a positive integer.";
    return std::nullopt;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < min || value > max) {
    *prompt = "Please enter an integer between " + std::to_string(min) + " and " + std::to_string(max) + ".";
    return std::nullopt;
  }
  return value;
}

std::string TooLongPrompt(int max_characters) {
  return "Please enter no more than " + std::to_string(max_characters) + " characters.";
}

int32_t LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

std::size_t CharacterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < utf8.size(); ++count) at += std::max<std::size_t>(1, decode_utf8(utf8, at).length);
  return count;
}

}  // namespace qz::ui
