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

// The console lists the processes attached to it: a command prompt's console lists
// cmd.exe too, a console Windows made for a double-clicked program only that program.
bool console_is_own() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}

void wait_for_key() {
  if (!console_is_own()) return;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  FlushConsoleInputBuffer(in);
  for (;;) {
    INPUT_RECORD record;
    DWORD read = 0;
    if (!ReadConsoleInputW(in, &record, 1, &read) || read == 0) return;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

}  // namespace qz
