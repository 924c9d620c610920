// The checks and counters of the send dialogs, and the cell labels, as both front ends use
// them.
#include "ui/send_fields.h"

#include <gtest/gtest.h>

#include "ui/cell_label.h"
#include "ui/field_check.h"
#include "ui/gateway_text.h"

namespace qz::ui {
namespace {

TEST(SmsCounterTest, CountsWhatTheModemGetsAgainstOnePart) {
  const struct {
    std::string message;
    bool concatenated;
    const char* text;
    bool over;
  } cases[] = {
      {"", false, "0 / 160", false},
      {std::string(160, 'a'), false, "160 / 160", false},
      {std::string(161, 'a'), false, "161 / 160", true},
      {"\xE2\x82\xAC", false, "2 / 160", false},  // the euro sign is an extension character
      {"\xD0\x96", false, "1 / 70", false},       // Cyrillic: UCS-2
      {std::string(161, 'a'), true, "161 / 153", true},
  };
  for (const auto& c : cases) {
    const SmsCounter counter = CountSmsMessage(c.message, c.concatenated);
    EXPECT_EQ(counter.text, c.text) << c.message.size();
    EXPECT_EQ(counter.over, c.over) << c.message.size();
  }
}

TEST(MmsFieldsTest, TheFirstFieldOverItsLimitIsRefusedCountedInCharacters) {
  const std::string long_number(21, '1');
  EXPECT_EQ(FirstMmsFieldOverItsLimit(long_number, "", "", "")->field, MmsField::kPhoneNumber);
  EXPECT_EQ(FirstMmsFieldOverItsLimit("", std::string(1001, 's'), std::string(3000, 't'), "")->field,
            MmsField::kSubject);
  EXPECT_EQ(FirstMmsFieldOverItsLimit("", "", "", std::string(513, 'p'))->field, MmsField::kImagePath);
  // 2048 characters of two bytes each are 2048 characters.
  std::string umlauts;
  for (int i = 0; i < 2048; ++i) umlauts += "\xC3\xBC";
  EXPECT_FALSE(FirstMmsFieldOverItsLimit(std::string(20, '1'), "", umlauts, ""));
  EXPECT_EQ(FirstMmsFieldOverItsLimit(long_number, "", "", "")->prompt, "Please enter no more than 20 characters.");
}

TEST(NumberFieldTest, WholeNumbersWithinTheirRangeOnly) {
  std::string prompt;
  EXPECT_EQ(ReadNumberingPlan(" 145 ", &prompt), 145);
  EXPECT_EQ(ReadNumberingPlan("0", &prompt), 0);
  for (const char* refused : {"256", "-1", "", "12a", "0x10", "99999999999999999999"}) {
    prompt.clear();
    EXPECT_FALSE(ReadNumberingPlan(refused, &prompt)) << refused;
    EXPECT_FALSE(prompt.empty()) << refused;
  }
  EXPECT_EQ(LeadingInteger("  -12abc"), -12);
  EXPECT_EQ(LeadingInteger("abc"), 0);
}

TEST(GatewayTextTest, OneBytePerCharacterBothWays) {
  EXPECT_EQ(GatewayTextFromUtf8("K\xC3\xA4se \xE2\x82\xAC \xFF"), "K\xE4se ? ?");
  EXPECT_EQ(Utf8FromGatewayText("K\xE4se"), "K\xC3\xA4se");
  EXPECT_EQ(CharacterCount("K\xC3\xA4se \xF0\x9F\x93\x9E"), 6u);
  EXPECT_EQ(CutToCapacity("123456789012", 10), "123456789");
}

TEST(CellLabelTest, TwoLinesBrokenBetweenWordsAndTheRestEndingInAnEllipsis) {
  // Every character 6 pixels wide, the ellipsis too.
  const MeasureText measure = [](std::string_view text) { return 6 * static_cast<int>(CharacterCount(text)); };
  const struct {
    const char* text;
    int width;
    const char* lines;
  } cases[] = {
      {"sent alarm 7", 72, "sent alarm 7"},
      {"sending alarm 17 to Ann", 96, "sending alarm 17\nto Ann"},
      {"sending alarm 17 to Ann Meier-Keller", 96, "sending alarm 17\nto Ann Meier-Ke\xE2\x80\xA6"},
      {"abcdefghijklmnopqrst", 60, "abcdefghij\nklmnopqrst"},  // no blank: cut inside the word
      {"\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC", 12, "\xC3\xBC\xC3\xBC\n\xC3\xBC\xC3\xBC"},
  };
  for (const auto& c : cases) EXPECT_EQ(TwoLineText(c.text, c.width, measure), c.lines) << c.text;
}

}  // namespace
}  // namespace qz::ui
