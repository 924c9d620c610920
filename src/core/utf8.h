// UTF-8 for the profile reader (UTF-16 files are read as UTF-8) and for job texts
// (written in UTF-8 or ISO 8859-1). Decoding is strict: overlong forms, surrogates and
// code points above U+10FFFF are not characters, so a text in ISO 8859-1 is almost never
// taken for UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qz {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

struct Utf8Char {
  char32_t code = 0;
  std::size_t length = 0;  // bytes; 0 when no well-formed character starts there
  bool cut = false;        // length 0 only because the text ends inside the character
};

// The character that starts at text[pos] (pos < text.size()).
Utf8Char decode_utf8(std::string_view text, std::size_t pos);

bool is_utf8(std::string_view text);

// How many bytes of `text`, at most `limit`, end before a character that would not fit
// whole: a cut there leaves no half character.
std::size_t utf8_cut(std::string_view text, std::size_t limit);

// Surrogates and code points above U+10FFFF are written as U+FFFD.
void append_utf8(std::string& out, char32_t code);

}  // namespace qz
