// How a failure of the operating system reaches the rest of the gateway, alike on every
// platform: the system's error code in POSIX terms (errno values; platform/windows/ turns
// Win32 codes into them, and keeps a code it has no errno for beyond errno's range, so
// that its words are Windows' own) and the path it concerns.
//
// A call that fails returns false, -1, an empty optional or an unopened object and leaves
// the code in errno, as the system's own calls do (the files of files.h). An object whose
// failure is read later or on another thread keeps it as a SystemError (a child process, a
// folder claim) or as its code (the serial port's LastError). Either way the words a log
// line shows come from error_text() alone.
#pragma once

#include <filesystem>
#include <string>

namespace qz {

struct SystemError {
  int code = 0;                // 0: nothing failed
  std::filesystem::path path;  // what it concerns; empty when nothing in particular

  explicit operator bool() const { return code != 0; }
};

// The code errno holds now (after a call that failed), with the path it concerns.
SystemError last_system_error(std::filesystem::path path = {});

// The system's own words for `code`: "No such file or directory" on Linux; on Windows the
// text Windows has for the Win32 code behind it (FormatMessageW), "The system cannot find
// the file specified", without the closing period.
std::string error_text(int code);

// "path: words", or the words alone when there is no path.
std::string error_line(const SystemError& error);

}  // namespace qz
