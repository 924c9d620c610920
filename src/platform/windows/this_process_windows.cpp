#include <windows.h>

#include "core/this_process.h"

namespace qz {

long current_process_id() { return static_cast<long>(GetCurrentProcessId()); }

// A console that shows the color sequences the gateway writes (Windows 10 and later, once
// asked to): a file, a pipe or an older console does not count, so they get plain lines.
bool standard_output_is_terminal() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(out, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace qz
