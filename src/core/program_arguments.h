// A program's command-line arguments as UTF-8 texts, like every other text of the gateway.
// Linux hands them over as the bytes typed; Windows keeps the command line in UTF-16 and
// gives argv in the ANSI code page, which loses what that page cannot show (a Cyrillic
// alarm text on a Western system), so there the arguments are taken from the UTF-16 line.
#pragma once

#include <string>
#include <vector>

namespace qz {

// The arguments after the program's name.
std::vector<std::string> program_arguments(int argc, const char* const* argv);

}  // namespace qz
