#include "jobs/job_text.h"

#include <gtest/gtest.h>

#include <string>

#include "jobs/job_file.h"

namespace qz {
namespace {

AlarmJob job_with(const std::string& message, const std::string& type = "SMS") {
  AlarmJob job;
  job.Message = message;
  job.ContentType = type;
  return job;
}

TEST(JobTextTest, Utf8TextsBecomeLatin1AndOtherTextsStayAsTheyAre) {
  const std::string utf8 = "Temp\xC3\xA9rature \xC3\xA9lev\xC3\xA9" "e";
  AlarmJob job = job_with(utf8, "application/vnd.wap.multipart.mixed");
  job.Name = "J\xC3\xBCrg M\xC3\xBCller";
  job.Subject = "\xC3\x84rger \xC3\xA0 Z\xC3\xBCrich";
  EXPECT_EQ(convert_job_texts(job), "");
  EXPECT_EQ(job.Message, "Temp\xE9rature \xE9lev\xE9" "e");
  EXPECT_EQ(job.Name, "J\xFCrg M\xFCller");
  EXPECT_EQ(job.Subject, "\xC4rger \xE0 Z\xFCrich");
  // The text of an SMS stays UTF-8, for the sender to code it.
  AlarmJob sms = job_with(utf8);
  EXPECT_EQ(convert_job_texts(sms), "");
  EXPECT_EQ(sms.Message, utf8);
  EXPECT_TRUE(sms.MessageIsUtf8);
  // A leading byte-order mark is no character of the alarm, and kept it would make UCS-2 of
  // a plain text.
  AlarmJob marked = job_with("\xEF\xBB\xBF" "Boiler 3");
  convert_job_texts(marked);
  EXPECT_EQ(marked.Message, "Boiler 3");

  // ISO 8859-1, ASCII, and texts that are not well-formed UTF-8 keep the single-byte
  // reading byte for byte.
  const char* kept[] = {
      "Boiler 3: pressure low",
      "caf\xE9 and caf\xC3\xA9",         // ISO 8859-1 and UTF-8 mixed
      "Ren\xE9",                          // ends inside a character, short of the width
      // (Bytes 0x80-0x9F are Windows-1252 characters, below; these stay clear of them.)
      "overlong \xC0\xAF \xC1\xBF",
      "surrogate \xED\xA0\xBF",
      "beyond U+10FFFF \xF4\xA0\xA0\xA0",
      "stray \xA9 continuation",
  };
  for (const char* text : kept) {
    AlarmJob latin1 = job_with(text);
    latin1.Name = text;
    latin1.Subject = text;
    convert_job_texts(latin1);
    EXPECT_EQ(latin1.Message, text);
    EXPECT_EQ(latin1.Name, text);
    EXPECT_EQ(latin1.Subject, text);
  }
}

TEST(JobTextTest, CharacterCutByTheFieldWidthIsDroppedNotGarbled) {
  const std::string e_acute = "\xC3\xA9";
  const std::string grin = "\xF0\x9F\x98\x80";  // four bytes
  std::string file = "[Alarm]\nPhoneNumber=1\nMessage=" + std::string(2046, 'a') + e_acute +
                     "\nName=" + std::string(61, 'n') + grin + "\n[MMS]\nSubject=";
  for (int i = 0; i < 511; ++i) file += e_acute;
  file += e_acute + "\n";
  AlarmJob job = parse_job_file(file, "cut.sms");
  ASSERT_EQ(job.Message.size(), 2047u);
  ASSERT_EQ(job.Name.size(), 63u);
  ASSERT_EQ(job.Subject.size(), 1023u);

  convert_job_texts(job);
  EXPECT_EQ(job.Message, std::string(2046, 'a'));
  EXPECT_EQ(job.Name, std::string(61, 'n'));
  EXPECT_EQ(job.Subject, std::string(511, '\xE9'));

  // Cut after one, two or three bytes of a four-byte character.
  for (std::size_t kept = 1; kept <= 3; ++kept) {
    AlarmJob cut = job_with(std::string(2047 - kept, 'x') + grin.substr(0, kept));
    convert_job_texts(cut);
    EXPECT_EQ(cut.Message, std::string(2047 - kept, 'x')) << kept << " bytes kept";
  }
}

TEST(JobTextTest, WhatWillNotArriveAsWrittenIsReportedOnceInOrder) {
  // In a UTF-8 SMS text nothing is lost: UCS-2 carries whatever GSM cannot.
  const std::string utf8 = "\xE2\x89\xA5 5 [bar] \xE2\x89\xA5 \xE2\x82\xAC ~ 20\xC2\xB0 [x]";
  AlarmJob sms = job_with(utf8);
  sms.Name = "{Ann}";  // shown, never sent
  EXPECT_EQ(convert_job_texts(sms), "");
  EXPECT_EQ(sms.Message, utf8);

  // Single-byte SMS texts keep the GSM table, where '[', ']' and the degree sign become
  // a space.
  AlarmJob latin1 = job_with("Temp [\xB0" "C]");
  EXPECT_EQ(convert_job_texts(latin1), "[\xC2\xB0]");
  EXPECT_EQ(latin1.Message, "Temp [\xB0" "C]");

  // Blanks and control characters are not reported; the alphabet has only the capital
  // C with cedilla. A mini-message is an SMS whatever its type says.
  AlarmJob mini = job_with("a\tb\xA0" "c\x01\r\nfa\xE7" "ade \xC7" "A", "");
  mini.IsMiniMessage = 1;
  EXPECT_EQ(convert_job_texts(mini), "\xC3\xA7");

  // An MMS carries its 8-bit texts as they are, and Name and Subject never go through the
  // GSM table: there only what 8 bits cannot hold is lost.
  AlarmJob mms = job_with("[x] \xE2\x82\xAC", "application/vnd.wap.multipart.mixed");
  mms.Name = "Ann [night] \xCE\xA9";
  mms.Subject = "~ \xE2\x82\xAC \xF0\x9F\x98\x80";
  EXPECT_EQ(convert_job_texts(mms), "\xE2\x82\xAC\xCE\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(mms.Message, "[x] ?");
  EXPECT_EQ(mms.Name, "Ann [night] ?");
  EXPECT_EQ(mms.Subject, "~ ? ?");
}

// Windows editors save "ANSI": Windows-1252, whose 0x80-0x9F hold the euro sign, dashes
// and quotes. An SMS gets them (the euro through the GSM extension table); an MMS cannot
// hold them in 8 bits and says so; an unused byte (0x81) stays a control code.
TEST(JobTextTest, SingleByteTextIsReadAsWindows1252) {
  struct Case {
    const char* type;
    const char* text;
    const char* expected;
    bool utf8;
    const char* lacking;
  };
  const Case cases[] = {
      {"SMS", "Boiler \x80 5 \x96 caf\xE9 \x84ok\x93",
       "Boiler \xE2\x82\xAC 5 \xE2\x80\x93 caf\xC3\xA9 \xE2\x80\x9Eok\xE2\x80\x9C", true, ""},
      {"SMS", "caf\xE9 \x81", "caf\xE9 \x81", false, ""},
      {"application/vnd.wap.multipart.mixed", "\x80 5 \x96 caf\xE9", "? 5 ? caf\xE9", false,
       "\xE2\x82\xAC\xE2\x80\x93"},
  };
  for (const Case& c : cases) {
    AlarmJob job = job_with(c.text, c.type);
    EXPECT_EQ(convert_job_texts(job), c.lacking) << c.text;
    EXPECT_EQ(job.Message, c.expected) << c.text;
    EXPECT_EQ(job.MessageIsUtf8, c.utf8) << c.text;
  }
}

}  // namespace
}  // namespace qz
