// Small text helpers shared across the gateway. Letters are compared as ASCII: the texts
// they serve (AT replies, port names, file names, dBase field names, command names) carry
// no other encoding the gateway could rely on.
#pragma once

#include <string>
#include <string_view>

#include "core/clock.h"

namespace qz {

// A space or a tab: what separates words in the settings, job files and mode strings.
inline bool is_blank(char c) { return c == ' ' || c == '\t'; }

// `text` without the leading and trailing characters found in `blanks`.
std::string_view trim(std::string_view text, std::string_view blanks = " \t");

// 'A'..'Z' as 'a'..'z'; every other byte as it is.
char lower_ascii(char c);

// Equal, or `text` starts with `prefix`, without regard to the case of ASCII letters.
bool equals_nocase(std::string_view a, std::string_view b);
bool starts_with_nocase(std::string_view text, std::string_view prefix);
bool ends_with_nocase(std::string_view text, std::string_view suffix);

// "dd.mm.yyyy hh:mm:ss": how the window's log lines and the messages about them are dated.
std::string window_stamp(const LocalTime& t);

}  // namespace qz
