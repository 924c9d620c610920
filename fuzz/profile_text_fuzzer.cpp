// The profile-file reader and writer on any text: the settings file is edited by hand, job
// files and the flag file come from other programs. Reads must stay inside the text and
// within their capacity; a write must splice into any text so that its key then reads
// back as written and no line of the file is lost, must not touch the file when it
// refuses, and writing the same again must change nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/profile_file.h"
#include "core/utf8.h"
#include "fuzz_check.h"
#include "scratch_folder.h"

namespace {

using qz::ProfileFile;
using qz::ProfileText;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// What a reader makes of a value: blanks around it go, then one pair of enclosing quotes.
std::string read_as(std::string_view value) {
  while (!value.empty() && is_blank(value.front())) value.remove_prefix(1);
  while (!value.empty() && is_blank(value.back())) value.remove_suffix(1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

// Names as the text spells them, blanks included: section headers, then key names, the
// first few of each; and the last line, which serves as a value to write.
struct Spellings {
  std::vector<std::string> sections;
  std::vector<std::string> keys;
  std::string last_line;
};

Spellings spellings_in(std::string_view text) {
  constexpr std::size_t kFew = 4;
  Spellings found;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (line.empty()) continue;
    found.last_line = std::string(line);

    std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line[first] == '[') {
      std::string_view name = line.substr(first + 1);
      if (found.sections.size() < kFew) found.sections.emplace_back(name.substr(0, name.find(']')));
    } else if (std::size_t eq = line.find('='); eq != std::string_view::npos) {
      if (found.keys.size() < kFew) found.keys.emplace_back(line.substr(0, eq));
    }
  }
  return found;
}

// Room for any value of a file of `size` bytes, and for the one-byte default: a UTF-16
// file reads as UTF-8, up to three bytes for each two (or for one odd byte at the end).
std::size_t room_for_whole(std::size_t size) { return 3 * size + 4; }

bool is_utf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

void check_reads(const ProfileText& text, bool utf16, const std::string& section,
                 const std::string& key, std::size_t whole) {
  const std::string full = text.read_text(section, key, "\x01", whole);
  FUZZ_CHECK(full.size() + 1 < whole);
  for (std::size_t capacity : {std::size_t{0}, std::size_t{1}, std::size_t{8}, std::size_t{64}}) {
    const std::string cut = text.read_text(section, key, "\x01", capacity);
    FUZZ_CHECK(cut.size() + 1 <= (capacity == 0 ? 1 : capacity));
    FUZZ_CHECK(full.starts_with(cut));
    // A file that names its Unicode form is cut between characters.
    if (utf16 && qz::is_utf8(full)) FUZZ_CHECK(qz::is_utf8(cut));
  }
  text.read_int(section, key, -1);
}

// A write adds lines or replaces a value within its line: whatever it took out of the
// file lies between the longest prefix and the longest suffix the two versions share,
// and holds no line break. (A UTF-16 file is re-encoded, so bytes do not show that.)
bool removes_no_line_break(std::string_view before, std::string_view after) {
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
  return removed.find_first_of("\r\n") == std::string_view::npos;
}

// One write through the file, with everything the writer promises checked around it.
void check_write(ProfileFile& file, const std::string& section, const std::string& key,
                 const std::string& value) {
  const std::string before = qz::fuzz::read_file(file.path());
  const bool written = file.write_text(section, key, value);
  const std::string after = qz::fuzz::read_file(file.path());
  if (!written) {
    FUZZ_CHECK(after == before);
    return;
  }
  FUZZ_CHECK(file.read_text(section, key, "\x01 never written", room_for_whole(after.size())) ==
             read_as(value));
  if (!is_utf16(before)) FUZZ_CHECK(removes_no_line_break(before, after));
  FUZZ_CHECK(file.write_text(section, key, value));
  FUZZ_CHECK(qz::fuzz::read_file(file.path()) == after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const ProfileText text(bytes);
  const Spellings spelt = spellings_in(bytes);

  std::vector<std::string> sections = {"Config", "Alarm", "MMS", ""};
  std::vector<std::string> keys = {"Port", "PhoneNumber", "Message", "dbentry", ""};
  sections.insert(sections.end(), spelt.sections.begin(), spelt.sections.end());
  keys.insert(keys.end(), spelt.keys.begin(), spelt.keys.end());
  for (const std::string& section : sections) {
    for (const std::string& key : keys) {
      check_reads(text, is_utf16(bytes), section, key, room_for_whole(bytes.size()));
    }
  }

  // The same bytes as a file read just as they do in memory.
  const std::filesystem::path path = qz::fuzz::scratch_folder() / "fuzz.ini";
  if (!qz::fuzz::write_file(path, bytes)) return 0;
  ProfileFile file(path);
  const std::string section = spelt.sections.empty() ? "Fuzz" : spelt.sections.front();
  const std::string key = spelt.keys.empty() ? "Key" : spelt.keys.front();
  FUZZ_CHECK(file.read_text(section, key, "\x01", room_for_whole(bytes.size())) ==
             text.read_text(section, key, "\x01", room_for_whole(bytes.size())));

  // Replacing a key the text may have, adding one to its section, adding a section.
  const std::string value = spelt.last_line.substr(0, 256);
  check_write(file, section, key, value);
  check_write(file, section, key + "2", value);
  check_write(file, section + "2", key, value);
  return 0;
}
