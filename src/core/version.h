// The version of the qzgsms programs, as --version and the start-up lines show it. It is
// the latest entry of the Debian changelog, the one place where it is set.
#pragma once

#include <string_view>

namespace qz {

std::string_view qzgsms_version();

}  // namespace qz
