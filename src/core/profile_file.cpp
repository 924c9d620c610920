#include "core/profile_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>

namespace qz {

namespace fs = std::filesystem;

namespace {

// No profile file comes anywhere near this; a bigger file reads as empty and is never
// rewritten, so a stray huge file cannot exhaust memory.
constexpr off_t kMaxFileSize = off_t{64} << 20;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Section and key names fold case as the platform's Western code page does: ASCII
// letters and the accented capitals of ISO 8859-1 (0xC0-0xDE, not the sign 0xD7).
unsigned char fold_name_byte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold_name_byte(static_cast<unsigned char>(a[i])) !=
        fold_name_byte(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// File names fold ASCII letters only: other bytes of a Linux name carry no known encoding.
bool same_file_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// One line of the file as offsets into it. `end` excludes the line ending ("\n" or
// "\r\n"); `next` is where the following line starts (the file's size after the last).
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

// Walks the lines once, front to back; memchr keeps a multi-megabyte file cheap.
class LineWalker {
 public:
  explicit LineWalker(std::string_view text) : text_(text) {}

  bool next(Line& line) {
    if (pos_ >= text_.size()) return false;
    const char* base = text_.data();
    const void* lf = std::memchr(base + pos_, '\n', text_.size() - pos_);
    line.begin = pos_;
    if (lf != nullptr) {
      line.end = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
      line.next = line.end + 1;
      if (line.end > line.begin && base[line.end - 1] == '\r') --line.end;
    } else {
      line.end = text_.size();
      line.next = text_.size();
    }
    pos_ = line.next;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

std::string_view line_text(std::string_view text, const Line& line) {
  return text.substr(line.begin, line.end - line.begin);
}

// The name of a section header: the first non-blank is '[', the name runs to ']' (or
// to the end of the line when there is none).
std::optional<std::string_view> header_name(std::string_view line) {
  std::size_t first = 0;
  while (first < line.size() && is_blank(line[first])) ++first;
  if (first == line.size() || line[first] != '[') return std::nullopt;
  std::string_view rest = line.substr(first + 1);
  return trim(rest.substr(0, rest.find(']')));
}

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
  LineWalker walker(text);
  Line line;
  bool inside = false;
  while (walker.next(line)) {
    std::string_view current = line_text(text, line);
    if (auto name = header_name(current)) {
      if (inside) return std::nullopt;
      inside = same_name(*name, section);
      continue;
    }
    if (!inside) continue;
    auto found = key_line(current);
    if (found && same_name(found->name, key)) return unquote(current.substr(found->value_begin));
  }
  return std::nullopt;
}

enum class Load { kOk, kMissing, kFailed };

// Reads a regular file whole. A FIFO or device is refused rather than read, so a
// misplaced special file can neither block nor stream forever.
Load load(const fs::path& path, std::string& out, struct stat* info) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? Load::kMissing : Load::kFailed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
    ::close(fd);
    return Load::kFailed;
  }
  out.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    // The file may have grown since fstat; keep reading until end of file, within bounds.
    if (used == out.size()) {
      if (out.size() > static_cast<std::size_t>(kMaxFileSize)) {
        ::close(fd);
        out.clear();
        return Load::kFailed;
      }
      out.resize(out.size() * 2);
    }
    ssize_t n = ::read(fd, out.data() + used, out.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      out.clear();
      return Load::kFailed;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  ::close(fd);
  out.resize(used);
  if (info != nullptr) *info = st;
  return Load::kOk;
}

// What a reader sees: a missing or unreadable file is simply empty.
std::string load_for_reading(const fs::path& path) {
  std::string text;
  if (load(path, text, nullptr) != Load::kOk) text.clear();
  return text;
}

// New lines follow the file's own habit: CRLF when most of its lines end that way.
std::string_view line_ending_of(std::string_view text) {
  std::size_t crlf = 0;
  std::size_t lf = 0;
  const char* base = text.data();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const void* hit = std::memchr(base + pos, '\n', text.size() - pos);
    if (hit == nullptr) break;
    std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    if (at > 0 && base[at - 1] == '\r') {
      ++crlf;
    } else {
      ++lf;
    }
    pos = at + 1;
  }
  return crlf > 0 && crlf >= lf ? "\r\n" : "\n";
}

bool ends_with_blank_line(std::string_view text) {
  if (text.empty() || text.back() != '\n') return false;
  std::size_t end = text.size() - 1;
  if (end > 0 && text[end - 1] == '\r') --end;
  std::string_view body = text.substr(0, end);
  std::size_t lf = body.rfind('\n');
  return trim(lf == std::string_view::npos ? body : body.substr(lf + 1)).empty();
}

// A write is one splice: `erase` bytes at `pos` are replaced by `insert`.
struct Splice {
  std::size_t pos = 0;
  std::size_t erase = 0;
  std::string insert;
};

Splice plan_write(std::string_view text, std::string_view section, std::string_view key,
                  std::string_view value) {
  LineWalker walker(text);
  Line line;
  bool inside = false;
  std::size_t insert_at = 0;
  while (walker.next(line)) {
    std::string_view current = line_text(text, line);
    if (auto name = header_name(current)) {
      if (inside) break;
      if (same_name(*name, section)) {
        inside = true;
        insert_at = line.next;
      }
      continue;
    }
    if (!inside) continue;
    auto found = key_line(current);
    if (!found) continue;
    if (same_name(found->name, key)) {
      // Keep the key's spelling and everything up to the value; only the value changes.
      std::size_t pos = line.begin + found->value_begin;
      return Splice{pos, line.end - pos, std::string(value)};
    }
    insert_at = line.next;
  }

  std::string_view eol = line_ending_of(text);
  bool open_last_line = !text.empty() && text.back() != '\n';
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
  return Splice{insert_at, 0, std::move(insert)};
}

bool has_line_break(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes a temporary file beside `target`, syncs it and renames it over `target`, so the
// file is always either wholly old or wholly new. On any failure the temporary goes.
bool replace_file(const fs::path& target, std::string_view bytes, const struct stat* existing) {
  fs::path folder = target.parent_path();
  std::string temp =
      (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;

  bool ok = ::fchmod(fd, existing != nullptr ? (existing->st_mode & 07777) : 0600) == 0;
  if (ok && existing != nullptr &&
      (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid())) {
    // Keep the owner where we are allowed to; otherwise the file becomes ours, as any
    // rewrite by its reader would.
    [[maybe_unused]] int owner_kept = ::fchown(fd, existing->st_uid, existing->st_gid);
  }
  ok = ok && write_all(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself becomes durable with the folder; failing that is not a lost write.
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
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

ProfileText::ProfileText(std::string bytes) : text_(std::move(bytes)) {}

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
  // Unsigned arithmetic wraps exactly as the platform's 32-bit reader does.
  uint32_t result = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    result = result * 10u + static_cast<uint32_t>(c - '0');
  }
  if (negative) result = 0u - result;
  return static_cast<int32_t>(result);
}

std::string ProfileText::read_text(std::string_view section, std::string_view key,
                                   std::string_view default_value, std::size_t capacity) const {
  if (capacity == 0) return {};
  std::string_view value = find_value(text_, section, key).value_or(default_value);
  return std::string(value.substr(0, capacity - 1));
}

int32_t ProfileFile::read_int(std::string_view section, std::string_view key,
                              int32_t default_value) const {
  return ProfileText(load_for_reading(path())).read_int(section, key, default_value);
}

std::string ProfileFile::read_text(std::string_view section, std::string_view key,
                                   std::string_view default_value, std::size_t capacity) const {
  return ProfileText(load_for_reading(path())).read_text(section, key, default_value, capacity);
}

bool ProfileFile::write_text(std::string_view section, std::string_view key,
                             std::string_view value) {
  if (has_line_break(section) || has_line_break(key) || has_line_break(value) ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      trim(key).starts_with('[')) {
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

  std::string text;
  struct stat info {};
  Load loaded = load(target, text, &info);
  if (loaded == Load::kFailed) return false;  // never replace what we could not read

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
  return replace_file(target, updated, loaded == Load::kOk ? &info : nullptr);
}

fs::path resolve_name_in_folder(const fs::path& folder, std::string_view name) {
  fs::path exact = folder / fs::path(std::string(name));
  std::error_code ec;
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;

  std::string best;
  const fs::path where = folder.empty() ? fs::path(".") : folder;
  for (fs::directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (same_file_name(entry, name) && (best.empty() || entry < best)) best = std::move(entry);
  }
  return best.empty() ? exact : folder / best;
}

}  // namespace qz
