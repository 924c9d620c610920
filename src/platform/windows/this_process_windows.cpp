#include <windows.h>

#include "core/this_process.h"

namespace qz {

long current_process_id() { return static_cast<long>(GetCurrentProcessId()); }

// A console screen buffer answers GetConsoleMode; a file or a pipe does not.
bool standard_output_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace qz
