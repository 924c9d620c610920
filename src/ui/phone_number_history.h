// The ten numbers most recently sent to by hand, shared by Send SMS and Send MMS: section
// [LastPhoneNums] of the settings file, key "1" the newest to "10" the oldest.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qz {
class SettingsFile;
}

namespace qz::ui {

class PhoneNumberHistory {
 public:
  static constexpr int kEntries = 10;
  // A value is read into this many bytes, terminator included: 63 characters are seen.
  static constexpr std::size_t kValueCapacity = 64;

  explicit PhoneNumberHistory(SettingsFile& file);

  // Newest first; empty and missing keys are no entries.
  std::vector<std::string> Numbers() const;

  // `number` was just used. When it equals one of `listed` (what the dialog offered),
  // nothing changes: a number used again keeps its place. Otherwise every entry moves one
  // key down, the tenth is lost and `number` becomes key "1", even when it is empty. A
  // number with a line break cannot be stored and leaves the history as it is.
  void Remember(const std::string& number, const std::vector<std::string>& listed);

 private:
  SettingsFile& file_;
};

}  // namespace qz::ui
