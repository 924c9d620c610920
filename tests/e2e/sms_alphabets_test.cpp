// Alarm texts in many alphabets, checked on what reaches the modem: the bytes of a
// text-mode submission, or the PDU as an independent decoder reads it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "support/sms_pdu_decoder.h"

namespace qz {
namespace {

using test::DecodedSms;
using test::eventually;
using test::files_in;
using test::GatewayTest;
using test::sms_job;

constexpr const char* kGsm = "Default_No_Compression";
constexpr const char* kUcs2 = "Unicode_No_Compression";

// The PDUs the modem accepted, decoded, in the order they came.
std::vector<DecodedSms> decoded_pdus(const sim::ModemSimulator& modem) {
  std::vector<std::string> pdus;
  for (const auto& sms : modem.sms()) {
    if (sms.pdu && sms.accepted) pdus.push_back(sms.text);
  }
  auto decoded = test::decode_sms_pdus(pdus);
  if (!decoded) return {};
  EXPECT_EQ(decoded->size(), pdus.size());
  return *decoded;
}

bool decoder_installed() { return test::decode_sms_pdus({}).has_value(); }

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class SmsAlphabetsTest : public GatewayTest {};

TEST_F(SmsAlphabetsTest, EveryAlphabetArrivesAsWritten) {
  if (!decoder_installed()) GTEST_SKIP() << "SKIPPED: python3-gammu is not installed, no PDU decoder";
  struct Case {
    const char* what;
    std::string job_text;    // as the job file holds it
    std::string text_mode;   // the GSM bytes in text mode; empty when the text goes in PDU mode
    const char* coding;      // in PDU mode
    std::size_t parts;
  };
  const Case cases[] = {
      {"Latin-1 in UTF-8", "Druck \xC3\xBC" "ber 3 bar, \xC3\x96l, caf\xC3\xA9",
       "Druck \x7E" "ber 3 bar, \x5Cl, caf\x05", nullptr, 1},
      {"single-byte job file, as before", "Kessel \xFC" "ber [3] bar", "Kessel \x7E" "ber  3  bar", nullptr, 1},
      {"Greek capitals", "\xCE\x94\xCE\xA6\xCE\x93\xCE\x9B\xCE\xA9\xCE\xA0\xCE\xA8\xCE\xA3\xCE\x98",
       "\x10\x12\x13\x14\x15\x16\x17\x18\x19", nullptr, 1},
      // Xi is Ctrl-Z in the GSM alphabet: text mode would end the text there.
      {"Greek capital Xi", "\xCE\x9E \xCE\xA3", "", kGsm, 1},
      {"extension table", "\xE2\x82\xAC" "5 [a] {b} \\ ~ ^ |", "", kGsm, 1},
      {"escapes count two", repeat("\xE2\x82\xAC", 81), "", kGsm, 2},
      {"Cyrillic", "\xD0\x90\xD0\xB2\xD0\xB0\xD1\x80\xD0\xB8\xD1\x8F \xD0\xBA\xD0\xBE\xD1\x82\xD0\xBB\xD0\xB0",
       "", kUcs2, 1},
      {"Cyrillic, 150 characters", repeat("\xD0\xB6", 150), "", kUcs2, 3},
      {"Turkish", "Bas\xC4\xB1n\xC3\xA7 d\xC3\xBC\xC5\x9F\xC3\xBCk \xC4\xB0zmir \xC4\x9F", "", kUcs2, 1},
      {"Polish", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84", "", kUcs2, 1},
      {"Chinese", "\xE9\x94\x85\xE7\x82\x89\xE5\x8E\x8B\xE5\x8A\x9B\xE8\xBF\x87\xE9\xAB\x98", "", kUcs2, 1},
      {"emoji outside the basic plane", "Alarm \xF0\x9F\x94\xA5\xF0\x9F\x9A\x92", "", kUcs2, 1},
      {"mixed", "Kessel \xC3\xBC" "ber 3 bar \xE2\x80\x93 \xE2\x82\xAC" "5 \xE2\x9C\x93 \xCE\xA9mega", "", kUcs2, 1},
  };
  gw.write_settings();
  gw.start();
  std::map<std::string, const Case*> by_number;
  int n = 0;
  for (const Case& c : cases) {
    const std::string number = "+4179100" + std::to_string(10 + n++);
    by_number[number] = &c;
    gw.drop_job("a" + std::to_string(n) + ".sms", sms_job(number, c.job_text, 0, ""));
  }
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == std::size(cases); }));

  std::map<std::string, std::string> text_mode;
  for (const auto& sms : gw.modem.sms()) {
    if (!sms.pdu && sms.accepted) text_mode[sms.number] += sms.text;
  }
  std::map<std::string, std::vector<DecodedSms>> pdus;
  for (const DecodedSms& sms : decoded_pdus(gw.modem)) pdus[sms.number].push_back(sms);

  for (const auto& [number, c] : by_number) {
    SCOPED_TRACE(c->what);
    if (!c->text_mode.empty()) {
      EXPECT_EQ(text_mode[number], c->text_mode);
      EXPECT_EQ(pdus.count(number), 0u);
      continue;
    }
    EXPECT_EQ(text_mode.count(number), 0u);
    const auto& parts = pdus[number];
    ASSERT_EQ(parts.size(), c->parts);
    std::string joined;
    for (const DecodedSms& part : parts) {
      EXPECT_EQ(part.coding, c->coding);
      EXPECT_EQ(part.part, -1) << "no concatenation header while the setting is off";
      joined += part.text;
    }
    EXPECT_EQ(joined, c->job_text);
  }
  // Back in text mode after the PDUs, for everything else the gateway asks of the modem.
  EXPECT_EQ(gw.modem.state().message_format, 1);
}

TEST_F(SmsAlphabetsTest, LongAlarmsAreJoinedOnThePhone) {
  if (!decoder_installed()) GTEST_SKIP() << "SKIPPED: python3-gammu is not installed, no PDU decoder";
  gw.write_settings("ConcatenatedSMS=1\nMaxMsgLength=800\n");
  gw.start();
  // Job files lose blanks at the end of a text: these end otherwise.
  const std::string gsm = repeat("Boiler 3 [pressure] 9 bar. ", 18) + "End";  // 489 characters, 525 septets
  const std::string cyrillic = repeat("\xD0\x94\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5 ", 12) + "!";  // 109
  const std::string short_text = "Pump 4 stopped";
  gw.drop_job("gsm.sms", sms_job("+41791000001", gsm, 0, ""));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }));
  gw.drop_job("cyrillic.sms", sms_job("+41791000002", cyrillic, 0, ""));
  gw.drop_job("short.sms", sms_job("+41791000003", short_text, 0, ""));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 3; }));

  struct Expected {
    std::string text;
    const char* coding;
    int parts;
  };
  const std::map<std::string, Expected> expected = {
      {"+41791000001", {gsm, kGsm, 4}},
      {"+41791000002", {cyrillic, kUcs2, 2}},
  };
  std::map<std::string, std::vector<DecodedSms>> by_number;
  for (const DecodedSms& sms : decoded_pdus(gw.modem)) by_number[sms.number].push_back(sms);
  ASSERT_EQ(by_number.size(), expected.size()) << "the one-part alarm goes in text mode";
  for (const auto& [number, want] : expected) {
    SCOPED_TRACE(number);
    const auto& parts = by_number[number];
    ASSERT_EQ(parts.size(), static_cast<std::size_t>(want.parts));
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(parts[i].coding, want.coding);
      EXPECT_EQ(parts[i].reference, parts[0].reference);
      EXPECT_EQ(parts[i].part, static_cast<int>(i + 1));
      EXPECT_EQ(parts[i].parts, want.parts);
      joined += parts[i].text;
    }
    EXPECT_EQ(joined, want.text);
  }
  EXPECT_NE(by_number["+41791000001"][0].reference, by_number["+41791000002"][0].reference);
  EXPECT_EQ(gw.modem.sms().back().text, short_text);
  EXPECT_EQ(gw.modem.state().message_format, 1);
  EXPECT_NE(gw.daily_log().find("Message to +41791000002 sent as UCS-2, 2 parts joined on the phone"),
            std::string::npos);
}

// After a long SMS in PDU mode the modem once refused its return to text mode, and every
// later plain SMS went to a modem still in PDU mode, which refused them all. The return is
// tried again before the next text-mode submission; a modem that keeps refusing is brought
// back like a lost one: the port opened anew and the start dialogue, which sets text mode.
TEST_F(SmsAlphabetsTest, AModemLeftInPduModeIsBroughtBackBeforeTheNextTextModeSubmission) {
  struct Case {
    const char* what;
    int refusals;  // of at+cmgf=1
    bool fault;
  } cases[] = {{"refused once", 1, false}, {"refused until the port is opened anew", 4, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::GatewayInstance instance;
    instance.modem.configure([](sim::ModemConfig& config) { config.strict_message_format = true; });
    instance.write_settings("ConcatenatedSMS=1\n");
    instance.start();
    ASSERT_TRUE(eventually([&] { return instance.daily_log().find("SignalThread started") != std::string::npos; }));
    instance.modem.add_rule(sim::CommandRule::error("+CMGF=1", c.refusals));
    instance.drop_job("long.sms", sms_job("+41791000001", repeat("Boiler 3 pressure low. ", 10), 0, ""));
    ASSERT_TRUE(eventually([&] { return files_in(instance.done()).size() == 1; }));
    // An alarm of a scenario, which is tried again.
    instance.drop_job("plain.sms", sms_job("+41791000002", "Pump 4 stopped", 0));
    ASSERT_TRUE(eventually([&] { return files_in(instance.done()).size() == 2; }, std::chrono::seconds(60)));
    EXPECT_TRUE(files_in(instance.error()).empty());
    EXPECT_EQ(test::accepted_texts(instance.modem)["Pump 4 stopped"], 1);
    EXPECT_EQ(instance.daily_log().find("fails: it stays out of text mode") != std::string::npos, c.fault);
    EXPECT_EQ(instance.modem.state().message_format, 1);
  }
}

// The reference joining the parts of a long SMS on the phone began at 1 at every start, and
// each try took a new one: a fragment a cut try left on a phone could be joined with another
// message after a restart. One message keeps its reference for all its tries, and a restart
// goes on from the last one used.
TEST_F(SmsAlphabetsTest, AMessageKeepsItsReferenceForAllTriesAndARestartTakesANewOne) {
  if (!decoder_installed()) GTEST_SKIP() << "SKIPPED: python3-gammu is not installed, no PDU decoder";
  gw.write_settings("ConcatenatedSMS=1\n");
  // The second part of the first try fails: its first part is on the phone.
  gw.modem.add_rule(sim::CommandRule::delayed("+CMGS", std::chrono::milliseconds(0), 1));
  gw.modem.add_rule(sim::CommandRule::error("+CMGS", 1));
  gw.start();
  const std::string text = repeat("Boiler 3 pressure low. ", 15);  // 345 characters: 3 parts
  gw.drop_job("a1.sms", sms_job("+41791000001", text, 0));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }));
  ASSERT_EQ(gw.stop(), 0);
  gw.start();
  gw.drop_job("a2.sms", sms_job("+41791000001", text, 0));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2; }));

  const std::vector<DecodedSms> parts = decoded_pdus(gw.modem);
  ASSERT_EQ(parts.size(), 7u) << "one part of the cut try, three of its retry, three after the restart";
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(parts[i].reference, parts[0].reference) << "part " << i;
  for (std::size_t i = 5; i < 7; ++i) EXPECT_EQ(parts[i].reference, parts[4].reference);
  EXPECT_NE(parts[4].reference, parts[0].reference);
  // Said of the try that went out, not of the one that failed.
  EXPECT_EQ(count_of(gw.daily_log(), "Message to +41791000001 sent as GSM 7-bit, 3 parts joined on the phone"), 2u);
}

}  // namespace
}  // namespace qz
