// INI-style profile files (the settings file, job files, alarm texts, the alarm
// application's flag file) with the semantics the gateway has always relied on:
//  - section and key names match without regard to case; blanks around names and
//    values are ignored; a value enclosed in a pair of double or single quotes is
//    returned without them; the first matching section and key win; a line without
//    '=' is never a key; a header needs its ']' (a line starting with '[' without one
//    opens no section); key lines before the first header belong to the section with
//    the empty name;
//  - a line ends at LF, CRLF or a lone CR, in any mix;
//  - bytes pass through unchanged (job files are ISO 8859-1 or UTF-8: their reader tells
//    which), but for the marks that say how a file is stored, as the platform's reader
//    honours them: a UTF-8 byte-order mark at the start is skipped, and a file that
//    starts with a UTF-16 (LE or BE) byte-order mark is read as UTF-8 text (a surrogate
//    without its partner, or a lone byte at the end, reads as U+FFFD; capacities count
//    its bytes, so a cut may fall inside a character);
//  - a write replaces the file atomically (temporary file in the same folder, synced,
//    then renamed over the original) and keeps every other line, comment, byte and line
//    ending as it was; writers within the process are serialised, so concurrent writes
//    to one file never lose each other's update;
//  - a write keeps the file's storage: a UTF-8 mark stays in front; lines added use the
//    ending most of the file's lines have (CRLF on a tie with either, otherwise LF on a
//    tie or when there is none); a UTF-16 file stays UTF-16 in its byte order with its
//    mark, which needs the names and the value to be UTF-8 and the file to read back
//    exactly (no U+FFFD stood in for a damaged part): otherwise the write is refused.
// A missing or unreadable file reads as empty, so every read gives its default.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

// Profile text already in memory (a job file read through its own descriptor). Reads
// follow the same rules as ProfileFile's.
class ProfileText {
 public:
  explicit ProfileText(std::string bytes);

  int32_t read_int(std::string_view section, std::string_view key, int32_t default_value) const;
  std::string read_text(std::string_view section, std::string_view key,
                        std::string_view default_value, std::size_t capacity) const;

  // The names of the key lines of the section that reads see (the first of its name), as
  // written without the blanks around them, in file order and with repeats, leaving out
  // names that start with ';' (comments to the platform's listing); nullopt when there is
  // no such section.
  std::optional<std::vector<std::string>> section_keys(std::string_view section) const;

 private:
  std::string text_;
  // The file said which Unicode form it is in (a byte-order mark): its values are UTF-8
  // and are cut only between characters.
  bool unicode_ = false;
};

class ProfileFile {
 public:
  // A bare `name` is looked up in `folder` without regard to case at every access; when
  // no such file exists, the name as written is used (and created by a write).
  ProfileFile(std::filesystem::path folder, std::string name);
  // A file given by its full path, used as it is.
  explicit ProfileFile(std::filesystem::path path);

  // Optional sign, then the leading digits, wrapping to 32 bits; no digits read 0. The
  // digits are decimal, or hexadecimal, octal or binary after "0x", "0o" or "0b" (lower
  // case), as the platform reads them. The default when the key is missing or its value
  // is empty.
  int32_t read_int(std::string_view section, std::string_view key, int32_t default_value) const;

  // At most capacity - 1 characters; the default (also cut) when the key is missing.
  // A key that is present with an empty value reads as empty, not as the default.
  std::string read_text(std::string_view section, std::string_view key,
                        std::string_view default_value, std::size_t capacity) const;

  // Creates the file, the section (appended at the end) and the key (at the end of its
  // section) as needed, or replaces the value in place. A file created here is readable
  // by its owner only; an existing file keeps its mode. Returns false, leaving the file
  // as it was, when it could not be written or when a name or the value holds a line
  // break, or a name that could not be read back (']' in a section, '=' in a key or a
  // key beginning with '['), or when a UTF-16 file cannot keep its encoding (see above).
  // errno then tells why: the system's reason, EINVAL for a name or value refused, EILSEQ
  // for an encoding that cannot be kept.
  bool write_text(std::string_view section, std::string_view key, std::string_view value);

  // As ProfileText::section_keys, for the file as it is now.
  std::optional<std::vector<std::string>> section_keys(std::string_view section) const;

  // The file that is (or would be) used now.
  std::filesystem::path path() const;

 private:
  std::filesystem::path folder_;  // or the whole path when name_ is not used
  std::string name_;
  bool in_folder_ = false;
};

// True when two section or key names are one name to a profile file: case folds as the
// platform's Western code page does it (ASCII and the accented capitals of ISO 8859-1).
bool same_profile_name(std::string_view a, std::string_view b);

// The existing entry of `folder` whose name equals `name` without regard to (ASCII)
// case, or folder / name when there is none. An entry spelt exactly as `name` comes
// first; among other spellings, the first in byte order, so the choice is stable.
std::filesystem::path resolve_name_in_folder(const std::filesystem::path& folder,
                                             std::string_view name);

}  // namespace qz
