#include "process/windows_command_line.h"

#include <cstddef>

#include "core/text.h"

namespace qz {

std::string quote_program_argument(std::string_view arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos) return std::string(arg);
  // Backslashes are plain text except in front of a quote: there each pair gives one
  // backslash and an odd one makes the quote literal. So a run of them is doubled when a
  // quote (the argument's own or the closing one) follows, and left alone otherwise.
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(2 * backslashes + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  out += '"';
  return out;
}

std::string quote_script_argument(std::string_view arg) {
  std::string out = "\"";
  for (std::size_t i = 0; i < arg.size(); ++i) {
    const char c = arg[i];
    switch (c) {
      case '"':
        out += "\"\"";
        break;
      case '%':
        out += "%%cd:~,%";
        break;
      case '\r':
        out += ' ';
        if (i + 1 < arg.size() && arg[i + 1] == '\n') ++i;
        break;
      case '\n':
        out += ' ';
        break;
      default:
        out += c;
    }
  }
  out += '"';
  return out;
}

std::string program_command_line(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line += ' ';
    line += quote_program_argument(arg);
  }
  return line;
}

std::string script_command_line(std::string_view script, const std::vector<std::string>& args) {
  // A folder may hold `%` or `&` in its name, so the script's path is guarded like the
  // arguments (a Windows path never holds a quote).
  std::string line = "cmd.exe /d /e:on /v:off /s /c \"" + quote_script_argument(script);
  for (const std::string& arg : args) line += ' ' + quote_script_argument(arg);
  line += '"';
  return line;
}

bool is_batch_file(std::string_view path) { return ends_with_nocase(path, ".bat") || ends_with_nocase(path, ".cmd"); }

}  // namespace qz
