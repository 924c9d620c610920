// Phone numbers on their way to the modem. A number is written inside an AT command, so
// it must not be able to end or extend that command: only dialable characters pass.
#pragma once

#include <string>
#include <string_view>

namespace qz {

// The number without its blanks (0x20), as the senders use it.
std::string without_blanks(std::string_view number);

// Digits with an optional leading '+', and '*' and '#'; at least one character.
bool is_dialable(std::string_view number);

}  // namespace qz
