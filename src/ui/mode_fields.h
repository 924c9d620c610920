// The `Mode` setting as the settings sheet edits it: four comma-separated fields, the baud
// rate in hundreds, the parity, the data bits and the stop bits ("96,N,8,1").
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace qz::ui {

using ModeFields = std::array<std::string, 4>;

// Four non-empty runs of letters and digits joined by single commas, from the start of
// `mode`; whatever follows the fourth is dropped. Any other shape gives four empty fields,
// so a mode the sheet cannot take apart is never half shown.
ModeFields SplitMode(std::string_view mode);

// "%s,%s,%s,%s".
std::string JoinMode(const ModeFields& fields);

}  // namespace qz::ui
