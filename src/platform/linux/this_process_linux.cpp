#include <unistd.h>

#include "core/this_process.h"

namespace qz {

long current_process_id() { return static_cast<long>(::getpid()); }

bool standard_output_is_terminal() { return ::isatty(STDOUT_FILENO) != 0; }

// A terminal on Linux belongs to the shell or the desktop that opened it.
bool console_is_own() { return false; }
void wait_for_key() {}

}  // namespace qz
