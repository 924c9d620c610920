// The gateway keeps text in UTF-8; Windows' wide ("W") functions take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace qz {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace qz
