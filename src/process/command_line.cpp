#include "process/command_line.h"

namespace qz {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool needs_quotes(const std::string& word) {
  if (word.empty()) return true;
  for (char ch : word) {
    auto c = static_cast<unsigned char>(ch);
    if (c == ' ' || c == '"' || c == '\'' || c == '\\' || c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> split_command_format(std::string_view format) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;  // a word has begun, even one that will stay empty ("")
  bool quoted = false;
  for (char c : format) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (is_blank(c) && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::vector<std::string> fill_command(const std::vector<std::string>& words,
                                      const std::vector<std::string>& values) {
  std::vector<std::string> argv;
  argv.reserve(words.size());
  std::size_t next_value = 0;
  for (const std::string& word : words) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (word[i] != '%' || i + 1 == word.size()) {
        out.push_back(word[i]);
        continue;
      }
      char kind = word[i + 1];
      if (kind == 's' || kind == 'd') {
        if (next_value < values.size()) out += values[next_value];
        ++next_value;
        ++i;
      } else if (kind == '%') {
        out.push_back('%');
        ++i;
      } else {
        out.push_back('%');  // the following character is copied on the next round
      }
    }
    argv.push_back(std::move(out));
  }
  return argv;
}

std::vector<std::string> build_argv(std::string_view format,
                                    const std::vector<std::string>& values) {
  return fill_command(split_command_format(format), values);
}

std::string describe(const std::vector<std::string>& argv) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string line;
  for (std::size_t n = 0; n < argv.size(); ++n) {
    const std::string& word = argv[n];
    if (n > 0) line.push_back(' ');
    if (!needs_quotes(word)) {
      line += word;
      continue;
    }
    line.push_back('"');
    for (char ch : word) {
      auto c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"': line += "\\\""; break;
        case '\\': line += "\\\\"; break;
        case '\r': line += "\\r"; break;
        case '\n': line += "\\n"; break;
        case '\t': line += "\\t"; break;
        default:
          if (c < 0x20 || c == 0x7F) {
            line += "\\x";
            line.push_back(kHex[c >> 4]);
            line.push_back(kHex[c & 0xF]);
          } else {
            line.push_back(ch);
          }
      }
    }
    line.push_back('"');
  }
  return line;
}

}  // namespace qz
