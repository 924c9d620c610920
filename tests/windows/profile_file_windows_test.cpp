// The project's profile reader against the platform's own (GetPrivateProfileStringA and
// GetPrivateProfileIntA) over odd files: both builds must read one settings file alike.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/profile_file.h"

namespace qz {
namespace {

// The fixtures lie in the source tree, a Linux path, which Wine's drive Z: shows.
std::string fixture(const std::string& name) {
  std::string folder = QZGSMS_FIXTURES_DIR "/profiles/";
  if (folder.front() == '/') folder = "Z:" + folder;
  return folder + name;
}

constexpr char kDefault[] = "(default)";
constexpr int kIntDefault = -7;

std::string platform_text(const std::string& file, const char* section, const char* key,
                          std::size_t capacity) {
  std::string buffer(capacity, '\0');
  DWORD n = ::GetPrivateProfileStringA(section, key, kDefault, buffer.data(),
                                       static_cast<DWORD>(capacity), file.c_str());
  buffer.resize(n);
  return buffer;
}

// The key names of a section, as the platform lists them (NUL-separated).
std::vector<std::string> platform_keys(const std::string& file, const char* section) {
  std::string buffer(4096, '\0');
  DWORD n = ::GetPrivateProfileStringA(section, nullptr, "", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), file.c_str());
  std::vector<std::string> keys;
  for (std::size_t at = 0; at < n;) {
    std::string key(buffer.c_str() + at);
    at += key.size() + 1;
    keys.push_back(key);
  }
  return keys;
}

struct Query {
  const char* file;
  const char* section;
  const char* key;
};

const Query kQueries[] = {
    {"comments.ini", "Config", "Port"},
    {"comments.ini", "Config", "Speed"},
    {"comments.ini", "Config", ";Port"},
    {"comments.ini", "Config", "#Mode"},
    {"comments.ini", "; a comment line", "x"},
    {"duplicates.ini", "Config", "Port"},
    {"duplicates.ini", "Config", "Extra"},
    {"duplicates.ini", "Other", "Port"},
    {"blanks.ini", "Config", "Port"},
    {"blanks.ini", "Config", "Speed"},
    {"blanks.ini", "Config", "Name With Blanks"},
    {"blanks.ini", "Config", ""},
    {"quotes.ini", "Q", "Double"},
    {"quotes.ini", "Q", "Single"},
    {"quotes.ini", "Q", "Open"},
    {"quotes.ini", "Q", "Inner"},
    {"quotes.ini", "Q", "Empty"},
    {"quotes.ini", "Q", "Spaced"},
    {"quotes.ini", "Q", "Mixed"},
    {"quotes.ini", "Q", "Number"},
    {"long_line.ini", "L", "Long"},
    {"long_line.ini", "L", "After"},
    {"no_end_of_line.ini", "Config", "Speed"},
    {"utf16le.ini", "Config", "Port"},
    {"utf16le.ini", "Config", "Speed"},
    {"utf16be.ini", "Config", "Port"},
    {"utf16be.ini", "Config", "Speed"},
    {"utf8_bom.ini", "Config", "Port"},
    {"names.ini", "mixed", "KEY"},
    // Spelt as in the file: Wine folds the case of ASCII letters only, our reader also that
    // of the accented capitals of the Western code page.
    {"names.ini", "\xC4rger", "\xDC"
                             "bel"},
    {"values.ini", "V", "Empty"},
    {"values.ini", "V", "Blank"},
    {"values.ini", "V", "Bare"},
    {"values.ini", "V", "Minus"},
    {"values.ini", "V", "Plus"},
    {"values.ini", "V", "Hex"},
    {"values.ini", "V", "HexCapital"},
    {"values.ini", "V", "NegativeHex"},
    {"values.ini", "V", "Octal"},
    {"values.ini", "V", "Binary"},
    {"values.ini", "V", "LeadingZero"},
    {"values.ini", "V", "BadHex"},
    {"values.ini", "V", "SignBlank"},
    {"values.ini", "V", "Big"},
    {"values.ini", "V", "SpaceNum"},
    {"values.ini", "V", "Missing"},
    {"brackets.ini", "", "Early"},
    {"brackets.ini", "Open", "Key"},
    {"brackets.ini", "", "Key"},
    {"brackets.ini", "Closed", "Key"},
    {"line_ends.ini", "Config", "Speed"},
    {"line_ends.ini", "Other", "Key"},
    {"missing.ini", "Config", "Port"},
};

TEST(ProfileFileAgainstPlatform, OddFilesReadAlike) {
  for (const Query& q : kQueries) {
    const std::string file = fixture(q.file);
    ProfileFile ours(std::filesystem::u8path(file));
    const std::string where = std::string(q.file) + " [" + q.section + "] " + q.key;
    for (std::size_t capacity : {std::size_t{300}, std::size_t{8}}) {
      EXPECT_EQ(ours.read_text(q.section, q.key, kDefault, capacity),
                platform_text(file, q.section, q.key, capacity))
          << where << ", capacity " << capacity;
    }
    EXPECT_EQ(ours.read_int(q.section, q.key, kIntDefault),
              static_cast<int32_t>(::GetPrivateProfileIntA(q.section, q.key, kIntDefault, file.c_str())))
        << where;
    EXPECT_EQ(ours.section_keys(q.section).value_or(std::vector<std::string>{}),
              platform_keys(file, q.section))
        << where;
  }
}

}  // namespace
}  // namespace qz
