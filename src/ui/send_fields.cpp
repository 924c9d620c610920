#include "ui/send_fields.h"

#include "modem/sms_coding.h"
#include "ui/field_check.h"
#include "ui/gateway_text.h"

namespace qz::ui {

SmsCounter CountSmsMessage(std::string_view message, bool concatenated_sms) {
  const SmsCount count = count_sms(message, concatenated_sms);
  // It only informs: a longer text is still sent, in parts.
  return {std::to_string(count.length) + " / " + std::to_string(count.part_room), count.parts > 1};
}

std::string WidestSmsCount() {
  return std::to_string(kMaxSmsMessage) + " / " + std::to_string(sms_part_room(SmsAlphabet::kGsm, false));
}

std::optional<MmsFieldProblem> FirstMmsFieldOverItsLimit(std::string_view phone_number, std::string_view subject,
                                                         std::string_view text, std::string_view image_path) {
  const struct {
    MmsField field;
    std::string_view value;
    int limit;
  } checks[] = {
      {MmsField::kPhoneNumber, phone_number, kMaxMmsPhoneNumber},
      {MmsField::kSubject, subject, kMaxMmsSubject},
      {MmsField::kText, text, kMaxMmsText},
      {MmsField::kImagePath, image_path, kMaxMmsImagePath},
  };
  for (const auto& check : checks)
    if (GatewayTextFromUtf8(check.value).size() > static_cast<std::size_t>(check.limit))
      return MmsFieldProblem{check.field, TooLongPrompt(check.limit)};
  return std::nullopt;
}

std::optional<int32_t> ReadNumberingPlan(std::string_view text, std::string* prompt) {
  const auto plan = ReadNumberField(text, NumberKind::kUnsigned, 0, kMaxNumberingPlan, prompt);
  if (!plan) return std::nullopt;
  return static_cast<int32_t>(*plan);
}

}  // namespace qz::ui
