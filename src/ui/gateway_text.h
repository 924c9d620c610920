// The gateway speaks ISO 8859-1: the modem's character table, the settings file and the
// job texts are all one byte per character. The window's controls hold Unicode, which
// both front ends hand over as UTF-8. Every crossing goes through these functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qz::ui {

// One byte per character; a character beyond ISO 8859-1 (or a byte that starts no UTF-8
// character) becomes '?', as the modem would never receive it anyway.
std::string GatewayTextFromUtf8(std::string_view utf8);

// Cut to fit a settings field of `capacity` bytes: at most capacity - 1 characters, as
// the settings record and the file's readers hold them.
std::string CutToCapacity(std::string text, std::size_t capacity);

// Every byte is one character, so whatever a file holds comes back unchanged when it is
// written again, even bytes that are not valid in any encoding.
std::string Utf8FromGatewayText(std::string_view text);

}  // namespace qz::ui
