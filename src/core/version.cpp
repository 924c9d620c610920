#include "core/version.h"

namespace qz {

// Given to this one file by the build, so a new version recompiles nothing else.
std::string_view qzgsms_version() { return QZGSMS_VERSION; }

}  // namespace qz
