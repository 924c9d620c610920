// What the Send SMS, Send MMS and Change SMSC dialogs check and show, without any
// toolkit: the SMS character counter, the MMS fields' limits and the numbering plan.
// Texts are UTF-8 as the controls hand them over.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qz::ui {

// The SMS message edit takes no more than this many characters.
inline constexpr int kMaxSmsMessage = 2000;

// Longest values the Send MMS fields take and Send accepts, in characters.
inline constexpr int kMaxMmsPhoneNumber = 20;
inline constexpr int kMaxMmsImagePath = 512;
inline constexpr int kMaxMmsSubject = 1000;
inline constexpr int kMaxMmsText = 2048;

// The SMSC number edit's limit and the largest numbering plan.
inline constexpr int kMaxSmscNumber = 64;
inline constexpr int kMaxNumberingPlan = 255;

struct SmsCounter {
  std::string text;  // "%d / %d"
  bool over = false;  // shown in red: the text goes out in more than one part
};

// What the counter shows for `message`: septets (an extension character counts two) or
// UCS-2 code units, against the room of one part. `concatenated_sms`: the parts are
// joined on the phone, which leaves less room in each.
SmsCounter CountSmsMessage(std::string_view message, bool concatenated_sms);
// The widest count the counter has to hold, for sizing it.
std::string WidestSmsCount();

enum class MmsField { kPhoneNumber, kSubject, kText, kImagePath };

struct MmsFieldProblem {
  MmsField field;
  std::string prompt;
};

// The first field over its limit, counted in characters of the gateway's 8-bit text: a
// number from the history or a picked file is put in whole, never cut, so Send refuses it.
std::optional<MmsFieldProblem> FirstMmsFieldOverItsLimit(std::string_view phone_number, std::string_view subject,
                                                         std::string_view text, std::string_view image_path);

// The plan typed into Change SMSC: a number from 0 to 255, or the prompt.
std::optional<int32_t> ReadNumberingPlan(std::string_view text, std::string* prompt);

}  // namespace qz::ui
