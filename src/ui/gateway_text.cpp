#include "ui/gateway_text.h"

#include "core/utf8.h"

namespace qz::ui {

std::string GatewayTextFromUtf8(std::string_view utf8) {
  std::string bytes;
  bytes.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Char c = decode_utf8(utf8, at);
    if (c.length == 0) {
      bytes.push_back('?');
      ++at;
      continue;
    }
    bytes.push_back(c.code <= 0xFF ? static_cast<char>(c.code) : '?');
    at += c.length;
  }
  return bytes;
}

std::string CutToCapacity(std::string text, std::size_t capacity) {
  if (capacity > 0 && text.size() > capacity - 1) text.resize(capacity - 1);
  return text;
}

std::string Utf8FromGatewayText(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (const char byte : text) append_utf8(utf8, static_cast<unsigned char>(byte));
  return utf8;
}

}  // namespace qz::ui
