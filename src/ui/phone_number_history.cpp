#include "ui/phone_number_history.h"

#include <algorithm>

#include "core/settings.h"

namespace qz::ui {
namespace {

constexpr const char* kSection = "LastPhoneNums";

std::string Key(int k) { return std::to_string(k); }

}  // namespace

PhoneNumberHistory::PhoneNumberHistory(SettingsFile& file) : file_(file) {}

std::vector<std::string> PhoneNumberHistory::Numbers() const {
  std::vector<std::string> numbers;
  for (int k = 1; k <= kEntries; ++k) {
    std::string number = file_.read_text(kSection, Key(k), "", kValueCapacity);
    if (!number.empty()) numbers.push_back(std::move(number));
  }
  return numbers;
}

void PhoneNumberHistory::Remember(const std::string& number,
                                  const std::vector<std::string>& listed) {
  if (std::find(listed.begin(), listed.end(), number) != listed.end()) return;
  // A pasted line break cannot be stored in a key; shifting the others down anyway would
  // leave the newest number twice.
  if (number.find_first_of("\r\n") != std::string::npos) return;
  for (int k = kEntries; k >= 2; --k)
    file_.write_text(kSection, Key(k), file_.read_text(kSection, Key(k - 1), "", kValueCapacity));
  file_.write_text(kSection, Key(1), number);
}

}  // namespace qz::ui
