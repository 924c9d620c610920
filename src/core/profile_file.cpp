#include "core/profile_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>

#include "core/files.h"
#include "core/paths.h"
#include "core/text.h"
#include "core/utf8.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// No profile file comes anywhere near this; a bigger file reads as empty and is never
// rewritten, so a stray huge file cannot exhaust memory.
constexpr off_t kMaxFileSize = off_t{64} << 20;

// Section and key names fold case as the platform's Western code page does: ASCII
// letters and the accented capitals of ISO 8859-1 (0xC0-0xDE, not the sign 0xD7).
unsigned char fold_name_byte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

// One line of the file as offsets into it. `end` excludes the line ending ("\n", "\r\n"
// or a lone "\r"); `next` is where the following line starts (the file's size after the
// last).
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

// Walks the lines once, front to back; memchr keeps a multi-megabyte file cheap. The next
// CR and the next LF are remembered, so a file that uses only one of them is not searched
// to its end for the other at every line.
class LineWalker {
 public:
  explicit LineWalker(std::string_view text)
      : text_(text), next_lf_(find('\n', 0)), next_cr_(find('\r', 0)) {}

  bool next(Line& line) {
    const std::size_t size = text_.size();
    if (pos_ >= size) return false;
    if (next_lf_ < pos_) next_lf_ = find('\n', pos_);
    if (next_cr_ < pos_) next_cr_ = find('\r', pos_);
    const std::size_t stop = std::min(next_lf_, next_cr_);
    line.begin = pos_;
    line.end = stop;
    if (stop == size) {
      line.next = size;
    } else if (text_[stop] == '\r' && stop + 1 < size && text_[stop + 1] == '\n') {
      line.next = stop + 2;
    } else {
      line.next = stop + 1;
    }
    pos_ = line.next;
    return true;
  }

 private:
  // The first `c` at or after `from`, or the text's size when there is none.
  std::size_t find(char c, std::size_t from) const {
    if (from >= text_.size()) return text_.size();
    const void* hit = std::memchr(text_.data() + from, c, text_.size() - from);
    return hit == nullptr ? text_.size()
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t next_lf_;
  std::size_t next_cr_;
};

std::string_view line_text(std::string_view text, const Line& line) {
  return text.substr(line.begin, line.end - line.begin);
}

// The name of a section header: the first non-blank is '[' and the name runs to the
// last ']' of the line. A line without ']' is no header, as the platform reads it: its
// keys stay in the section before.
std::optional<std::string_view> header_name(std::string_view line) {
  std::size_t first = 0;
  while (first < line.size() && is_blank(line[first])) ++first;
  if (first == line.size() || line[first] != '[') return std::nullopt;
  std::string_view rest = line.substr(first + 1);
  std::size_t close = rest.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trim(rest.substr(0, close));
}

// Key lines before the first header belong to the section with the empty name.
bool in_leading_section(std::string_view section) { return section.empty(); }

struct KeyLine {
  std::string_view name;
  std::size_t value_begin = 0;  // offset in the line, after '=' and the blanks following it
};

std::optional<KeyLine> key_line(std::string_view line) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  std::size_t value = eq + 1;
  while (value < line.size() && is_blank(line[value])) ++value;
  return KeyLine{trim(line.substr(0, eq)), value};
}

std::string_view unquote(std::string_view value) {
  value = trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The value of the first matching key in the first matching section. Later sections of
// the same name are never looked at, as with the platform's reader.
std::optional<std::string_view> find_value(std::string_view text, std::string_view section,
                                           std::string_view key) {
  // Blanks around the names asked for are ignored as much as those in the file.
  section = trim(section);
  key = trim(key);
  LineWalker walker(text);
  Line line;
  bool inside = in_leading_section(section);
  while (walker.next(line)) {
    std::string_view current = line_text(text, line);
    if (auto name = header_name(current)) {
      if (inside) return std::nullopt;
      inside = same_profile_name(*name, section);
      continue;
    }
    if (!inside) continue;
    auto found = key_line(current);
    if (found && same_profile_name(found->name, key)) return unquote(current.substr(found->value_begin));
  }
  return std::nullopt;
}

enum class Load { kOk, kMissing, kFailed };

// Reads a regular file whole. A FIFO or device is refused rather than read, so a
// misplaced special file can neither block nor stream forever.
Load load(const fs::path& path, std::string& out, FileInfo* info) {
  out.clear();
  File file = File::open(path, {});
  if (!file.is_open()) return (errno == ENOENT || errno == ENOTDIR) ? Load::kMissing : Load::kFailed;
  std::optional<FileInfo> st = file.info();
  if (!st || st->kind != FileKind::kRegular || st->size > kMaxFileSize) {
    errno = st && st->kind == FileKind::kRegular ? EFBIG : EINVAL;
    return Load::kFailed;
  }
  out.resize(static_cast<std::size_t>(st->size) + 1);
  std::size_t used = 0;
  for (;;) {
    // The file may have grown since it was looked at; keep reading until end of file,
    // within bounds.
    if (used == out.size()) {
      if (out.size() > static_cast<std::size_t>(kMaxFileSize)) {
        out.clear();
        errno = EFBIG;
        return Load::kFailed;
      }
      out.resize(out.size() * 2);
    }
    int64_t n = file.read(out.data() + used, out.size() - used);
    if (n < 0) {
      int error = errno;
      file.close();
      out.clear();
      errno = error;
      return Load::kFailed;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  out.resize(used);
  if (info != nullptr) *info = *st;
  return Load::kOk;
}

// How a file's text is stored. The platform's profile functions read UTF-16 files that
// begin with a byte-order mark, and editors put a UTF-8 mark before INI files; any other
// file is bytes, taken as they are.
enum class Encoding { kBytes, kUtf8Bom, kUtf16Le, kUtf16Be };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Decoded {
  Encoding encoding = Encoding::kBytes;
  std::string text;    // what the lines are read from: UTF-8 for a UTF-16 file, no mark
  bool exact = true;   // encoding `text` again gives the file back byte for byte
};

bool is_utf16(Encoding encoding) {
  return encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be;
}

// The encoding a file's first bytes announce.
Encoding encoding_of(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) return Encoding::kUtf8Bom;
  if (bytes.starts_with("\xFF\xFE")) return Encoding::kUtf16Le;
  if (bytes.starts_with("\xFE\xFF")) return Encoding::kUtf16Be;
  return Encoding::kBytes;
}

Decoded decode(std::string bytes) {
  Decoded decoded;
  decoded.encoding = encoding_of(bytes);
  if (decoded.encoding == Encoding::kUtf8Bom) bytes.erase(0, kUtf8Bom.size());
  if (!is_utf16(decoded.encoding)) {
    decoded.text = std::move(bytes);
    return decoded;
  }

  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const bool big = decoded.encoding == Encoding::kUtf16Be;
  const std::size_t units = (bytes.size() - 2) / 2;
  const auto unit = [&](std::size_t i) -> char32_t {
    const std::size_t at = 2 + 2 * i;
    return big ? char32_t{byte(at)} << 8 | byte(at + 1) : char32_t{byte(at + 1)} << 8 | byte(at);
  };
  std::string& text = decoded.text;
  text.reserve(units + units / 2);
  for (std::size_t i = 0; i < units;) {
    const char32_t first = unit(i++);
    if (first >= 0xD800 && first <= 0xDBFF && i < units) {
      const char32_t second = unit(i);
      if (second >= 0xDC00 && second <= 0xDFFF) {
        ++i;
        append_utf8(text, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
        continue;
      }
    }
    if (first >= 0xD800 && first <= 0xDFFF) {
      append_utf8(text, kReplacementCharacter);  // a surrogate without its partner
      decoded.exact = false;
      continue;
    }
    append_utf8(text, first);
  }
  if (bytes.size() % 2 != 0) {
    append_utf8(text, kReplacementCharacter);  // half a unit at the end
    decoded.exact = false;
  }
  return decoded;
}

// The file's bytes for `text` (valid UTF-8 for a UTF-16 file), its mark first.
std::optional<std::string> encode(Encoding encoding, std::string text) {
  switch (encoding) {
    case Encoding::kBytes:
      return text;
    case Encoding::kUtf8Bom:
      return std::string(kUtf8Bom) + text;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      break;
  }
  const bool big = encoding == Encoding::kUtf16Be;
  std::string bytes;
  bytes.reserve(2 + 2 * text.size());
  const auto put = [&](char32_t unit) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big ? high : low;
    bytes += big ? low : high;
  };
  put(0xFEFF);
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decode_utf8(text, pos);
    if (c.length == 0) return std::nullopt;
    pos += c.length;
    if (c.code < 0x10000) {
      put(c.code);
    } else {
      put(0xD800 + ((c.code - 0x10000) >> 10));
      put(0xDC00 + ((c.code - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

// What a reader sees: a missing or unreadable file is simply empty.
std::string load_for_reading(const fs::path& path) {
  std::string text;
  if (load(path, text, nullptr) != Load::kOk) text.clear();
  return text;
}

// New lines follow the file's own habit: the ending most of its lines have, CRLF when it
// ties with another, LF when CR and LF tie; a file without a line ending gets the system's.
std::string_view line_ending_of(std::string_view text) {
  std::size_t crlf = 0;
  std::size_t lf = 0;
  std::size_t cr = 0;
  LineWalker walker(text);
  Line line;
  while (walker.next(line)) {
    switch (line.next - line.end) {
      case 2: ++crlf; break;
      case 1: ++(text[line.end] == '\n' ? lf : cr); break;
      default: break;  // the last line, without an ending
    }
  }
  if (crlf > 0 && crlf >= lf && crlf >= cr) return "\r\n";
  if (cr > lf) return "\r";
  if (lf == 0) return text_line_end();
  return "\n";
}

bool ends_with_line_break(std::string_view text) {
  return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

bool ends_with_blank_line(std::string_view text) {
  if (!ends_with_line_break(text)) return false;
  std::size_t end = text.size() - 1;
  if (text[end] == '\n' && end > 0 && text[end - 1] == '\r') --end;
  std::string_view body = text.substr(0, end);
  std::size_t previous = body.find_last_of("\r\n");
  return trim(previous == std::string_view::npos ? body : body.substr(previous + 1)).empty();
}

// A write is one splice: `erase` bytes at `pos` are replaced by `insert`.
struct Splice {
  std::size_t pos = 0;
  std::size_t erase = 0;
  std::string insert;
};

Splice plan_write(std::string_view text, std::string_view section, std::string_view key,
                  std::string_view value) {
  // Found and written without their blanks, so the key reads back under the same names.
  section = trim(section);
  key = trim(key);
  LineWalker walker(text);
  Line line;
  bool inside = in_leading_section(section);
  std::size_t insert_at = 0;
  while (walker.next(line)) {
    std::string_view current = line_text(text, line);
    if (auto name = header_name(current)) {
      if (inside) break;
      if (same_profile_name(*name, section)) {
        inside = true;
        insert_at = line.next;
      }
      continue;
    }
    if (!inside) continue;
    auto found = key_line(current);
    if (!found) continue;
    if (same_profile_name(found->name, key)) {
      // Keep the key's spelling and everything up to the value; only the value changes.
      std::size_t pos = line.begin + found->value_begin;
      // A value with blanks of its own in front takes the place of those after '=' too,
      // or every rewrite of the same value would add its blanks once more.
      if (!value.empty() && is_blank(value.front())) {
        while (pos > line.begin && is_blank(text[pos - 1])) --pos;
      }
      return Splice{pos, line.end - pos, std::string(value)};
    }
    insert_at = line.next;
  }

  std::string_view eol = line_ending_of(text);
  bool open_last_line = !text.empty() && !ends_with_line_break(text);
  std::string insert;
  if (inside) {
    if (insert_at == text.size() && open_last_line) insert += eol;
  } else {
    insert_at = text.size();
    if (open_last_line) insert += eol;
    if (!text.empty() && (open_last_line || !ends_with_blank_line(text))) insert += eol;
    insert += '[';
    insert += section;
    insert += ']';
    insert += eol;
  }
  insert += key;
  insert += '=';
  insert += value;
  insert += eol;
  // A lone CR next to an LF would join it into one CRLF and lose a line, when the file
  // mixes endings: the blank line before a new section, or an empty LF line after ours.
  if (insert.front() == '\n' && insert_at > 0 && text[insert_at - 1] == '\r') insert.insert(0, 1, '\r');
  if (insert.back() == '\r' && insert_at < text.size() && text[insert_at] == '\n') insert += '\n';
  return Splice{insert_at, 0, std::move(insert)};
}

bool has_line_break(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::mutex& write_mutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

ProfileFile::ProfileFile(fs::path folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)), in_folder_(true) {}

ProfileFile::ProfileFile(fs::path path) : folder_(std::move(path)) {}

fs::path ProfileFile::path() const {
  return in_folder_ ? resolve_name_in_folder(folder_, name_) : folder_;
}

ProfileText::ProfileText(std::string bytes) {
  Decoded decoded = decode(std::move(bytes));
  text_ = std::move(decoded.text);
  unicode_ = decoded.encoding != Encoding::kBytes;
}

int32_t ProfileText::read_int(std::string_view section, std::string_view key,
                              int32_t default_value) const {
  std::optional<std::string_view> value = find_value(text_, section, key);
  if (!value || value->empty()) return default_value;
  std::string_view digits = *value;
  bool negative = false;
  if (digits.front() == '-' || digits.front() == '+') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  // As the platform reads a number: "0x", "0o" and "0b" (lower case) give hexadecimal,
  // octal and binary; a plain leading 0 is still decimal.
  uint32_t base = 10;
  if (digits.size() >= 2 && digits[0] == '0') {
    if (digits[1] == 'x') base = 16;
    if (digits[1] == 'o') base = 8;
    if (digits[1] == 'b') base = 2;
    if (base != 10) digits.remove_prefix(2);
  }
  // Unsigned arithmetic wraps exactly as the platform's 32-bit reader does.
  uint32_t result = 0;
  for (char c : digits) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    result = result * base + digit;
  }
  if (negative) result = 0u - result;
  return static_cast<int32_t>(result);
}

std::string ProfileText::read_text(std::string_view section, std::string_view key,
                                   std::string_view default_value, std::size_t capacity) const {
  if (capacity == 0) return {};
  std::string_view value = find_value(text_, section, key).value_or(default_value);
  // A file of bytes is cut where the platform cuts it, at the byte.
  return std::string(value.substr(0, unicode_ ? utf8_cut(value, capacity - 1) : capacity - 1));
}

std::optional<std::vector<std::string>> ProfileText::section_keys(std::string_view section) const {
  section = trim(section);
  LineWalker walker(text_);
  Line line;
  std::optional<std::vector<std::string>> keys;
  if (in_leading_section(section)) keys.emplace();
  while (walker.next(line)) {
    std::string_view current = line_text(text_, line);
    if (auto name = header_name(current)) {
      if (keys) break;  // only the first section of the name is ever read
      if (same_profile_name(*name, section)) keys.emplace();
      continue;
    }
    if (!keys) continue;
    // A key that starts with ';' is a comment to the platform's listing, though it can
    // still be read by its name.
    auto found = key_line(current);
    if (found && !found->name.starts_with(';')) keys->emplace_back(found->name);
  }
  return keys;
}

int32_t ProfileFile::read_int(std::string_view section, std::string_view key,
                              int32_t default_value) const {
  return ProfileText(load_for_reading(path())).read_int(section, key, default_value);
}

std::string ProfileFile::read_text(std::string_view section, std::string_view key,
                                   std::string_view default_value, std::size_t capacity) const {
  return ProfileText(load_for_reading(path())).read_text(section, key, default_value, capacity);
}

std::optional<std::vector<std::string>> ProfileFile::section_keys(std::string_view section) const {
  return ProfileText(load_for_reading(path())).section_keys(section);
}

bool ProfileFile::write_text(std::string_view section, std::string_view key,
                             std::string_view value) {
  if (has_line_break(section) || has_line_break(key) || has_line_break(value) ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      trim(key).starts_with('[')) {
    errno = EINVAL;
    return false;
  }

  std::lock_guard<std::mutex> lock(write_mutex());
  // Resolved under the lock, so writers spelling the name differently meet in one file.
  fs::path target = path();
  std::error_code ec;
  if (fs::is_symlink(target, ec)) {
    // Rewrite the file the link points at, not the link.
    fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = real;
  }

  std::string bytes;
  FileInfo info;
  Load loaded = load(target, bytes, &info);
  if (loaded == Load::kFailed) return false;  // never replace what we could not read

  Decoded file = decode(std::move(bytes));
  // A UTF-16 file is rewritten only when it comes back byte for byte and what we add is
  // text in the encoding its readers get (UTF-8); otherwise it would be damaged.
  if (is_utf16(file.encoding) &&
      (!file.exact || !is_utf8(section) || !is_utf8(key) || !is_utf8(value))) {
    errno = EILSEQ;
    return false;
  }
  const std::string& text = file.text;
  Splice splice = plan_write(text, section, key, value);
  if (splice.erase == splice.insert.size() &&
      std::string_view(text).substr(splice.pos, splice.erase) == splice.insert) {
    return true;  // already so: leave the file (and its time stamp) alone
  }
  std::string updated;
  updated.reserve(text.size() - splice.erase + splice.insert.size());
  updated.append(text, 0, splice.pos);
  updated += splice.insert;
  updated.append(text, splice.pos + splice.erase, std::string::npos);
  std::optional<std::string> encoded = encode(file.encoding, std::move(updated));
  // A name or value spliced in at the very start must not make the file's first bytes
  // announce another encoding: every reader would then see a different file.
  if (!encoded || encoding_of(*encoded) != file.encoding) {
    errno = EILSEQ;
    return false;
  }
  // The file keeps its permissions and, where we are allowed to, its owner; otherwise it
  // becomes ours, as any rewrite by its reader would.
  const bool existed = loaded == Load::kOk;
  return replace_file(target, *encoded, {.permissions = existed ? info.permissions : 0600, .keep_owner = existed});
}

fs::path resolve_name_in_folder(const fs::path& folder, std::string_view name) {
  fs::path exact = folder / path_from_text(name);
  std::error_code ec;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;

  std::string best;
  const fs::path where = folder.empty() ? fs::path(".") : folder;
  for (fs::directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    // File names fold ASCII letters only: other bytes of a Linux name carry no known
    // encoding.
    if (equals_nocase(entry, name) && (best.empty() || entry < best)) best = std::move(entry);
  }
  return best.empty() ? exact : folder / path_from_text(best);
}

bool same_profile_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold_name_byte(static_cast<unsigned char>(a[i])) !=
        fold_name_byte(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace qz
