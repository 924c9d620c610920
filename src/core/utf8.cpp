#include "core/utf8.h"

#include <algorithm>

namespace qz {

Utf8Char decode_utf8(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return {lead, 1, false};

  // The well-formed sequences: only the second byte has a range narrower than 0x80-0xBF,
  // which is what excludes overlong forms, surrogates and code points past U+10FFFF.
  std::size_t length = 0;
  char32_t code = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (pos + i >= text.size()) return {0, 0, true};
    const unsigned char c = byte(pos + i);
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return {};
    code = (code << 6) | (c & 0x3F);
  }
  return {code, length, false};
}

bool is_utf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decode_utf8(text, pos);
    if (c.length == 0) return false;
    pos += c.length;
  }
  return true;
}

void append_utf8(std::string& out, char32_t code) {
  if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = kReplacementCharacter;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::size_t utf8_cut(std::string_view text, std::size_t limit) {
  std::size_t end = std::min(limit, text.size());
  while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace qz
