// How an argument vector becomes the one command line that Windows starts a process
// with. Plain text in, plain text out (UTF-8), so the rules can be checked anywhere.
//
// A program (.exe, .com) splits its own line with the C runtime's rules, which are
// those of CommandLineToArgvW: every argument is quoted so that it reads back exactly.
//
// A batch file (.bat, .cmd) can only run inside cmd.exe, and cmd.exe reads the whole
// line before the script sees it: `&`, `|`, `<`, `>`, `(`, `)` and `^` outside double
// quotes, `%VAR%` anywhere, `!VAR!` with delayed expansion on and a line break anywhere
// would let a received SMS run a command of its own choosing. So the script runs as
//     cmd.exe /d /e:on /v:off /s /c ""script" "arg" ..."
// (no AutoRun commands, extensions on for the `%` guard below, delayed expansion off
// so `!` is plain text, /s so exactly the outer pair of quotes is taken off) and each
// argument is one double-quoted word in which:
//   - `"` is doubled: cmd.exe turns its quoting off and on again with no character
//     between, so nothing of the argument is ever outside quotes, and the script's %1
//     is still one argument;
//   - `%` is written `%%cd:~,%`: on a command line cmd.exe has no escape for `%`, but
//     it keeps a `%` that opens no variable and expands `%cd:~,%` (an empty cut of the
//     current folder) to nothing, so the script sees the `%` alone and no text between
//     two of them is ever taken for a variable;
//   - a line break (CR, LF, or CR LF) becomes one blank: cmd.exe ends the line at LF
//     and silently drops every CR, so a received text of several lines would lose its
//     tail or run its lines together; a blank keeps the words apart and the alarm whole.
// The script gets `"text"` in %1 (quotes doubled inside) and the text without its outer
// quotes in %~1. A script that uses %1 as it comes keeps every metacharacter inside
// quotes; one that uses %~1 outside quotes hands the text to its own parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qz {

// `arg` as one word of a program's command line (no blanks around it).
std::string quote_program_argument(std::string_view arg);

// `arg` as one word of a batch file's line under cmd.exe, as described above.
std::string quote_script_argument(std::string_view arg);

// The line for a program: argv[0] is the program's path.
std::string program_command_line(const std::vector<std::string>& argv);

// The line that cmd.exe gets to run `script` (a full path) with `args`, "cmd.exe" first.
std::string script_command_line(std::string_view script, const std::vector<std::string>& args);

// True when `path` names a batch file (.bat or .cmd, in any case), which only cmd.exe
// can run.
bool is_batch_file(std::string_view path);

}  // namespace qz
