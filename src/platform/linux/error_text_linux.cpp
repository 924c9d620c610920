#include <system_error>

#include "core/system_error.h"

namespace qz {

std::string error_text(int code) { return std::generic_category().message(code); }

}  // namespace qz
