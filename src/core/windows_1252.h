// Windows-1252, the single-byte text of Windows editors in western languages ("ANSI"). It
// is ISO 8859-1 in every printable position and gives 0x80-0x9F, control codes there, the
// euro sign, the typographic quotes and dashes, the ellipsis and a few letters, so a text
// read as Windows-1252 reads as before wherever ISO 8859-1 had a character.
#pragma once

#include <string>
#include <string_view>

namespace qz {

// The character of `byte`; the five bytes Windows-1252 leaves unused (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stay their own code, as ISO 8859-1 has them.
char32_t windows_1252_char(unsigned char byte);

// True when `text` holds a byte that Windows-1252 reads as a character ISO 8859-1 lacks.
bool has_windows_1252_extras(std::string_view text);

// `text` read as Windows-1252, written as UTF-8.
std::string utf8_from_windows_1252(std::string_view text);

}  // namespace qz
