// Command lines for external commands, built as argument vectors and never handed to a
// shell. A format such as `incoming_sms.bat "%s" "%s"` is first cut into words, and only
// then are the placeholders filled, each inside its own word: a value becomes part of
// exactly one argument whatever bytes it holds (quotes, blanks, `;`, `$()`, backticks,
// line ends, 8-bit text), so a received SMS can never add an argument or a command.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

// The settings keep a command line in 260 bytes, so a format holds at most 259
// characters. The filled line is NOT held to that length: cutting it would cut the
// received text the command exists to see, and an argument vector has no such limit.
// A line that is too long for the system (E2BIG) fails to start, with that error.
// The limit only tells a caller when its readable line (`describe`) is over-long.
inline constexpr std::size_t kCommandLineLimit = 259;

// Cuts a format into words. Blanks (space, tab) separate words; double quotes group
// blanks into a word and are removed, so `a"b c"d` is one word `ab cd`, and `""` is an
// empty word. A quote left open runs to the end. There is no escape character: the
// format itself cannot hold a literal double quote (a value can). `%` is left alone.
std::vector<std::string> split_command_format(std::string_view format);

// Fills the placeholders of the words in order across all words, as printf would take
// its arguments: `%s` and `%d` take the next value (already text; the caller formats a
// number), `%%` gives `%`, any other `%x` and a lone trailing `%` stay as they are.
// Missing values are empty text; surplus values are ignored. A word whose placeholder
// is filled with empty text stays as an empty argument, so the command sees its
// arguments at fixed positions.
std::vector<std::string> fill_command(const std::vector<std::string>& words,
                                      const std::vector<std::string>& values);

// split_command_format, then fill_command. The first word names the command.
std::vector<std::string> build_argv(std::string_view format,
                                    const std::vector<std::string>& values);

// One readable line for logs: words joined by blanks; a word that is empty or holds a
// blank, a quote or a control byte is shown in double quotes with `"` and `\` escaped
// by `\`, CR as \r, LF as \n, TAB as \t, other control bytes as \xNN. Bytes from 0x80
// up are kept (the gateway's text is ISO 8859-1). Never cut.
std::string describe(const std::vector<std::string>& argv);

}  // namespace qz
