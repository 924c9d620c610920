#include "core/windows_1252.h"

#include "core/utf8.h"

namespace qz {

namespace {

// 0x80-0x9F; 0 where Windows-1252 has no character.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

char32_t windows_1252_char(unsigned char byte) {
  if (byte < 0x80 || byte > 0x9F || kHighControls[byte - 0x80] == 0) return byte;
  return kHighControls[byte - 0x80];
}

bool has_windows_1252_extras(std::string_view text) {
  for (char byte : text) {
    if (windows_1252_char(static_cast<unsigned char>(byte)) > 0xFF) return true;
  }
  return false;
}

std::string utf8_from_windows_1252(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (char byte : text) append_utf8(utf8, windows_1252_char(static_cast<unsigned char>(byte)));
  return utf8;
}

}  // namespace qz
