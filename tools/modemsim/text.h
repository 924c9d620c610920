// Small text helpers shared by the simulator's parts.
#pragma once

#include <string>
#include <string_view>

namespace qz::sim {

std::string to_upper(std::string_view text);
std::string to_lower(std::string_view text);
bool starts_with_nocase(std::string_view text, std::string_view prefix);
// Without leading and trailing white space.
std::string trim(std::string_view text);

}  // namespace qz::sim
