// Job files as editors and alarm applications really write them: with byte-order marks,
// in UTF-16, with old Mac line endings, with UTF-8 texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <thread>

#include "e2e/e2e_support.h"
#include "modem/gsm_charset.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::GatewayTest;
using test::files_in;
using test::GatewayInstance;
using test::sms_job;

// UTF-16 LE with its mark, from UTF-16 text.
std::string utf16le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::size_t count_of(const std::string& haystack, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

std::vector<std::string> received(const GatewayInstance& gw) {
  std::vector<std::string> texts;
  for (const auto& sms : gw.modem.sms()) texts.push_back(sms.number + ":" + sms.text);
  std::sort(texts.begin(), texts.end());
  return texts;
}

class JobEncodingTest : public GatewayTest {};

TEST_F(JobEncodingTest, MarkedUtf16AndCrOnlyJobFilesAreSent) {
  gw.write_settings();
  gw.start();
  gw.drop_job("bom.sms", "\xEF\xBB\xBF" + sms_job("111", "with a UTF-8 mark", 0, ""));
  gw.drop_job("wide.sms", utf16le(u"[Alarm]\r\nPhoneNumber=222\r\nMessage=Druck \u00fcber Grenze\r\n"));
  std::string cr_only = sms_job("333", "old Mac endings", 0, "");
  std::erase(cr_only, '\n');
  gw.drop_job("cr.sms", cr_only);

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 3; }));
  EXPECT_TRUE(files_in(gw.error()).empty());
  // u-umlaut is 0x7E in the GSM alphabet.
  EXPECT_EQ(received(gw), (std::vector<std::string>{"111:with a UTF-8 mark", "222:Druck \x7E" "ber Grenze",
                                                    "333:old Mac endings"}));
  // The success note speaks the filed file's own encoding.
  for (const auto& name : files_in(gw.done())) {
    if (!name.ends_with("-wide.sms")) continue;
    std::string filed = test::read_file(gw.done() / name);
    EXPECT_TRUE(filed.ends_with(utf16le(u" ALARM successfully sent").substr(2)));
  }
}

TEST_F(JobEncodingTest, Utf8TextArrivesInTheGsmAlphabetAsIso8859TextDoes) {
  gw.write_settings();
  gw.start();
  gw.drop_job("utf8.sms", sms_job("444", "Temp\xC3\xA9rature \xC3\xA9lev\xC3\xA9" "e", 0, ""));
  gw.drop_job("latin1.sms", sms_job("555", "Temp\xE9rature \xE9lev\xE9" "e", 0, ""));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2; }));
  // e-acute is 0x05 in the GSM alphabet, as the send table says.
  ASSERT_EQ(to_gsm(static_cast<unsigned char>(0xE9)), 0x05);
  const std::string gsm = "Temp\x05rature \x05lev\x05" "e";
  EXPECT_EQ(received(gw), (std::vector<std::string>{"444:" + gsm, "555:" + gsm}));
  EXPECT_EQ(gw.daily_log().find("lacks"), std::string::npos);
}

TEST_F(JobEncodingTest, CharactersTheAlphabetLacksAreLoggedOncePerJob) {
  gw.write_settings();
  // The job stays queued a while, so the watch folder is scanned again meanwhile.
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 400ms; });
  gw.start();
  gw.drop_job("lacks.sms", sms_job("666", "Level \xE7 90%", 0, ""));
  ASSERT_TRUE(eventually([&] { return gw.modem.sms().size() == 1; }));
  gw.drop_job("fine.sms", sms_job("777", "Level 90%", 0, ""));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2; }));
  EXPECT_EQ(received(gw), (std::vector<std::string>{"666:Level   90%", "777:Level 90%"}));
  const std::string log = gw.daily_log();
  const std::string line =
      "Characters the GSM alphabet lacks in " + (gw.watch() / "lacks.sms").string() + ": \xC3\xA7\n";
  EXPECT_EQ(count_of(log, line), 1u);
  EXPECT_EQ(count_of(log, "lacks in "), 1u);
}

}  // namespace
}  // namespace qz
