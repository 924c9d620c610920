#include <windows.h>

#include <shellapi.h>

#include "core/program_arguments.h"
#include "platform/windows/windows_text.h"

namespace qz {

std::vector<std::string> program_arguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) {
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
  }
  for (int i = 1; i < count; ++i) args.push_back(narrow(words[i]));
  LocalFree(words);
  return args;
}

}  // namespace qz
