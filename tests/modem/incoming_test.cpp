#include "modem/incoming.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "modem/modem_link.h"
#include "modem/gsm_charset.h"
#include "support/eventually.h"
#include "support/instance_harness.h"
#include "support/received_pdus.h"
#include "support/sms_pdu_decoder.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using sim::CommandRule;
using Lines = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

using test::eventually;

std::size_t count_of(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

// ---- parse_listing ---------------------------------------------------------------------

TEST(ParseListing, CutsEntriesIntoIndexSenderAndText) {
  auto messages = parse_listing(
      "+CMGL: 1,\"REC UNREAD\",\"+41791111111\",,\"24/03/01,12:00:00+04\"\rline one\rline two\r"
      "+CMGL: 12,\"REC READ\",\"+41792222222\",,\"24/03/01,12:01:00+04\"\rsecond\r");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].index, 1);
  EXPECT_EQ(messages[0].sender, "\"+41791111111\"");
  EXPECT_EQ(messages[0].text, "line one\rline two\r");
  EXPECT_EQ(messages[1].index, 12);
  EXPECT_EQ(messages[1].sender, "\"+41792222222\"");
  EXPECT_EQ(messages[1].text, "second\r");

  // The numeric form has no sender; a header may end the capture with no text at all.
  messages = parse_listing("+CMGL: 7,0,,5\rhello\r+CMGL:  8,1,,0\r");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].index, 7);
  EXPECT_EQ(messages[0].sender, "");
  EXPECT_EQ(messages[0].text, "hello\r");
  EXPECT_EQ(messages[1].index, 8);
  EXPECT_EQ(messages[1].text, "");
}

TEST(ParseListing, EntriesItCannotReadArePassedOver) {
  for (const std::string capture :
       {"", "+CMGL", "+CMGL:", "+CMGL: ", "+CMGL: 1", "+CMGL: 1,", "+CMGL: 1,2,",
        "+CMGL: 1,2,3\rtext, more, text\r", "+CMGL: 1,\"REC READ\",\"+4179\",",
        "+CMGL:+CMGL:", "+CMGL:+CMGL:,,,", "OK\rERROR\r", "\r\r\r"}) {
    EXPECT_TRUE(parse_listing(capture).empty()) << capture;
  }
  // A bad entry does not take its neighbours with it.
  auto messages = parse_listing("+CMGL: 1,\"REC READ\"\rbroken\r+CMGL: 2,a,\"+4179\",\rgood\r");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].index, 2);
  EXPECT_EQ(messages[0].sender, "\"+4179\"");
  EXPECT_EQ(messages[0].text, "good\r");
}

TEST(ParseListing, RandomCapturesNeverReachOutsideTheCapture) {
  // Pieces that steer the scan: headers, commas, line ends, quotes, digits, NUL, 8-bit.
  const std::vector<std::string> pieces = {"+CMGL:", "+CMGL: ", ",",  ",,", "\r",
                                           "\"",     "1",       "42", "x",  std::string(1, '\0'),
                                           "\xFF",   "+CMG",    ":"};
  std::mt19937 random(20240301);
  for (int round = 0; round < 5000; ++round) {
    std::string capture;
    int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) capture += pieces[random() % pieces.size()];
    // An exact-size copy so that a read past the end is seen by the address sanitizer.
    auto bytes = std::make_unique<char[]>(capture.size());
    std::copy(capture.begin(), capture.end(), bytes.get());
    std::string_view view(bytes.get(), capture.size());

    auto messages = parse_listing(view);
    ASSERT_LE(messages.size(), count_of(view, "+CMGL:")) << round;
    for (const auto& m : messages) {
      ASSERT_LE(m.sender.size() + m.text.size(), capture.size()) << round;
      ASSERT_EQ(m.sender.find('\r'), std::string::npos) << round;
      if (!m.text.empty()) {
        ASSERT_TRUE(contains(capture, m.text)) << round;
      }
    }
  }
}

// ---- IncomingThread against the simulated modem ----------------------------------------

// The poller waits 15 s between polls; a faster clock keeps these tests short. Not much
// faster: a listing's 15 s wait for its reply must outlast a busy machine's delays, or a
// poll that timed out adds itself to the commands the tests compare.
constexpr double kSpeedup = 25.0;

class IncomingTest : public ::testing::Test {
 protected:
  IncomingTest() : h(kSpeedup) {
    h.set("QualityPollEverySecs", "1000");
    h.set("IncomingEnable", "1");
  }
  void start() { ASSERT_TRUE(h.start({IncomingThread})); }
  // The n-th listing command (the test form "=?" counts).
  void wait_for_listing(std::size_t n) {
    ASSERT_TRUE(h.modem.wait_for_command("AT+CMGL=", 20s, n)) << "listing " << n;
  }
  bool wait_for_deletions(std::size_t n) {
    return h.modem.wait_for([n](const sim::Recording& r) { return r.deletions.size() >= n; }, 20s);
  }
  // The first `n` listing and deletion commands the modem received, in order (later
  // polls may already have added more).
  Lines storage_commands(std::size_t n) {
    Lines out;
    for (const auto& line : h.modem.command_lines()) {
      if (out.size() == n) break;
      if (line.rfind("at+cmgl", 0) == 0 || line.rfind("at+cmgd", 0) == 0) out.push_back(line);
    }
    return out;
  }
  // A command that writes its arguments, one per line, into a file of its own per run.
  void install_per_run_command(const std::string& name) {
    std::filesystem::create_directory(h.folder / "runs");
    std::string runs = (h.folder / "runs").string();
    std::string script = "#!/bin/sh\n";
    script += "f=$(mktemp \"" + runs + "/run.XXXXXX\") || exit 1\n";
    script += "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$f.tmp\"\n";
    script += "mv \"$f.tmp\" \"$f.done\"\n";
    test::write_file(h.folder / name, script);
    ::chmod((h.folder / name).c_str(), 0755);
  }
  Lines finished_runs() {
    Lines out;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(h.folder / "runs", ec)) {
      if (e.path().extension() == ".done") out.push_back(test::read_file(e.path()));
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  test::ModemHarness h;
};

TEST(IncomingListingForm, TestAnswerDecidesTheForm) {
  struct Case {
    sim::ListTestReply reply;
    std::string listing;
  };
  for (const Case& c : {Case{sim::ListTestReply::Upper, "at+cmgl=\"ALL\""},
                        Case{sim::ListTestReply::Lower, "at+cmgl=\"all\""},
                        Case{sim::ListTestReply::Numeric, "at+cmgl=4"},
                        Case{sim::ListTestReply::Error, "at+cmgl=4"}}) {
    test::ModemHarness h(kSpeedup);
    h.set("QualityPollEverySecs", "1000");
    h.modem.configure([&c](sim::ModemConfig& config) { config.list_test_reply = c.reply; });
    ASSERT_TRUE(h.start({IncomingThread}));
    ASSERT_TRUE(h.modem.wait_for_command("AT+CMGL=", 20s, 2));
    Lines listings;
    for (const auto& line : h.modem.command_lines()) {
      if (line.rfind("at+cmgl", 0) == 0) listings.push_back(line);
    }
    ASSERT_GE(listings.size(), 2u);
    EXPECT_EQ(listings[0], "at+cmgl=?");
    EXPECT_EQ(listings[1], c.listing);
  }
}

TEST_F(IncomingTest, EachMessageRunsItsCommandThenIsDeletedInListingOrder) {
  install_per_run_command("incoming_sms.bat");
  h.modem.add_message("+41791111111", "first");
  h.modem.add_message("+41792222222", "second\nline");
  start();
  ASSERT_TRUE(wait_for_deletions(2));
  EXPECT_EQ(h.modem.deletions(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(h.modem.messages().empty());
  EXPECT_EQ(storage_commands(4), (Lines{"at+cmgl=?", "at+cmgl=\"ALL\"", "at+cmgd=1", "at+cmgd=2"}));

  ASSERT_TRUE(eventually([&] { return finished_runs().size() == 2; }));
  EXPECT_EQ(finished_runs(),
            (Lines{"\"+41791111111\"\nfirst\r\n", "\"+41792222222\"\nsecond\rline\r\n"}));

  std::string log = h.daily_log();
  std::size_t first = log.find("'first\\r' command received from \"+41791111111\"");
  std::size_t second = log.find("'second\\rline\\r' command received from \"+41792222222\"");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
}

TEST_F(IncomingTest, EmptyStorageRunsNothingAndDeletesNothing) {
  h.install_recording_command("incoming_sms.bat");
  start();
  wait_for_listing(3);
  EXPECT_TRUE(h.modem.deletions().empty());
  EXPECT_FALSE(contains(h.daily_log(), "command received"));
  EXPECT_FALSE(std::filesystem::exists(h.folder / "incoming_sms.bat.out"));
}

TEST_F(IncomingTest, ListingRefusedInOneFormIsRepeatedAtOnceInTheOther) {
  install_per_run_command("incoming_sms.bat");
  h.modem.configure([](sim::ModemConfig& c) { c.list_forms.upper = false; });
  h.modem.add_message("+41791111111", "hello");
  start();
  ASSERT_TRUE(wait_for_deletions(1));
  EXPECT_EQ(storage_commands(4), (Lines{"at+cmgl=?", "at+cmgl=\"ALL\"", "at+cmgl=4", "at+cmgd=1"}));
  // The numeric form carries no sender: the command gets an empty argument for it.
  ASSERT_TRUE(eventually([&] { return finished_runs().size() == 1; }));
  EXPECT_EQ(finished_runs(), (Lines{"\nhello\r\n"}));

  // The form that worked stays.
  wait_for_listing(4);
  EXPECT_EQ(storage_commands(5).back(), "at+cmgl=4");
  EXPECT_EQ(h.modem.deletions().size(), 1u);
}

TEST_F(IncomingTest, StorageIsCleanedOnlyWhenBothFormsAreRefused) {
  h.modem.configure([](sim::ModemConfig& c) { c.list_forms = {false, false, false}; });
  start();
  ASSERT_TRUE(wait_for_deletions(9));
  EXPECT_EQ(storage_commands(12), (Lines{"at+cmgl=?", "at+cmgl=\"ALL\"", "at+cmgl=4", "at+cmgd=9",
                                         "at+cmgd=8", "at+cmgd=7", "at+cmgd=6", "at+cmgd=5",
                                         "at+cmgd=4", "at+cmgd=3", "at+cmgd=2", "at+cmgd=1"}));
  // Both failed, so the next poll starts again from the form it had.
  wait_for_listing(4);
  EXPECT_EQ(storage_commands(13).at(12), "at+cmgl=\"ALL\"");
}

TEST_F(IncomingTest, StorageIsCleanedAfterTwoUnansweredListingsInARow) {
  h.modem.add_rule(CommandRule::ignore("+CMGL=\"", 2));
  start();
  wait_for_listing(3);
  EXPECT_TRUE(h.modem.deletions().empty()) << "one unanswered listing is tolerated";
  ASSERT_TRUE(wait_for_deletions(9));
  EXPECT_EQ(h.modem.deletions(), (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(storage_commands(3).at(2), "at+cmgl=\"ALL\"") << "a time-out keeps the form";
}

TEST_F(IncomingTest, CommandThatTakesUtf8GetsEveryAlphabetInUtf8) {
  h.set("IncomingUTF8", "1");
  install_per_run_command("incoming_sms.bat");
  struct Case {
    std::string sender;
    std::string stored;  // as the network delivered it
    bool ucs2;
    std::string shown;   // sender and text as the command gets them
  };
  const Case cases[] = {
      // Cyrillic and a character outside the basic plane (a surrogate pair in UCS-2).
      {"+41791111111", std::string("\x04\x14\x04\x30\x00\x20\xD8\x3D\xDE\x00", 10), true,
       "\"+41791111111\"\n\xD0\x94\xD0\xB0 \xF0\x9F\x98\x80\n"},
      // The GSM alphabet with Omega and the escaped euro sign and brackets.
      {"0792222222", "\x15 5\x1B\x65 \x1B\x3C" "a\x1B\x3E \x7B", false,
       "\"0792222222\"\n\xCE\xA9 5\xE2\x82\xAC [a] \xC3\xA4\n"},
      // A sender's name instead of a number, with a quote and a semicolon in it.
      {"Plant\";rm", "ok", false, "\"Plant\";rm\"\nok\n"},
  };
  Lines expected;
  for (const Case& c : cases) {
    sim::StoredMessage message;
    message.sender = c.sender;
    message.text = c.stored;
    message.ucs2 = c.ucs2;
    h.modem.add_message(message);
    expected.push_back(c.shown);
  }
  start();
  ASSERT_TRUE(wait_for_deletions(std::size(cases)));
  ASSERT_TRUE(eventually([&] { return finished_runs().size() == std::size(cases); }));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(finished_runs(), expected);
  EXPECT_TRUE(h.modem.messages().empty());
  EXPECT_EQ(h.modem.state().message_format, 1) << "back in text mode after the listing";
}

TEST_F(IncomingTest, HostileTextAndSenderReachTheCommandAsTwoPlainArguments) {
  h.install_recording_command("incoming_sms.bat");
  const std::string sender = "+41\"; touch pwned1; \"\\$(touch pwned2)`touch pwned3`%s%n|&<>*";
  // In the GSM alphabet: 0x02 arrives as '$', 0x7B as 'ä', 0x01 as '£'; 0x1B and the
  // upper half have no ISO 8859-1 form and arrive as blanks, and so does 0x40, whose
  // NUL in the receive table no argument can carry.
  const std::string gsm_text =
      std::string("\"; rm -rf /tmp/x; \"\n\x02(touch pwned4) %s%n%% \"'\n") +
      "\x7B\x01\x40\x1B\x80\xC3\xFF end";
  sim::StoredMessage message;
  message.sender = sender;
  message.text = gsm_text;
  h.modem.add_message(message);
  start();
  ASSERT_TRUE(wait_for_deletions(1));

  std::string text =
      std::string("\"; rm -rf /tmp/x; \"\r$(touch pwned4) %s%n%% \"'\r") + "\xE4\xA3      end\r";
  ASSERT_EQ(from_gsm(std::string("\x7B\x01\x1B\x80\xC3\xFF", 6)), "\xE4\xA3    ");
  // The command writes its two lines one after the other: read them once both are there.
  const std::string expected = "\"" + sender + "\"\n" + text + "\n";
  eventually([&] { return h.command_output("incoming_sms.bat") == expected; });
  EXPECT_EQ(h.command_output("incoming_sms.bat"), expected);
  for (const char* name : {"pwned1", "pwned2", "pwned3", "pwned4"}) {
    EXPECT_FALSE(std::filesystem::exists(h.folder / name)) << name;
    EXPECT_FALSE(std::filesystem::exists(name)) << name;
  }
  EXPECT_TRUE(contains(h.daily_log(), "' command received from \"" + sender + "\""));
}

TEST_F(IncomingTest, MessageWhoseCommandCannotStartStaysInTheModem) {
  h.set("CmdLineFormat", "no_such_command \"%s\" \"%s\"");
  h.modem.add_message("+41791111111", "keep me");
  start();
  ASSERT_TRUE(h.wait_for_log("no_such_command", 20s));
  wait_for_listing(3);  // the next poll lists it again
  std::string log = h.daily_log();
  EXPECT_TRUE(contains(log, "'keep me\\r' command received from \"+41791111111\""));
  EXPECT_GE(count_of(log, "Could not start no_such_command"), 1u);
  EXPECT_TRUE(h.modem.deletions().empty());
  ASSERT_EQ(h.modem.messages().size(), 1u);
  EXPECT_EQ(h.modem.messages()[0].text, "keep me");
}

TEST_F(IncomingTest, EntryThatCannotBeReadIsReportedAndKept) {
  install_per_run_command("incoming_sms.bat");
  h.modem.add_rule(CommandRule::replace("+CMGL=\"ALL\"",
                                        "\r\n+CMGL: 3,\"REC UNREAD\"\r\nbroken\r\n+CMGL: 4,\"REC "
                                        "UNREAD\",\"+4179\",,\"ts\"\r\nfine\r\n"
                                        "\r\nOK\r\n",
                                        1));
  start();
  ASSERT_TRUE(wait_for_deletions(1));
  EXPECT_EQ(h.modem.deletions(), (std::vector<int>{4}));
  EXPECT_TRUE(contains(h.daily_log(), "1 listed message(s) not understood, left in the modem"));
  ASSERT_TRUE(eventually([&] { return finished_runs().size() == 1; }));
  EXPECT_EQ(finished_runs(), (Lines{"\"+4179\"\nfine\r\n"}));
}

// ---- Messages as phones and networks really send them (PDU listing) ------------------

class ReceivedPdusTest : public IncomingTest {
 protected:
  ReceivedPdusTest() { h.set("IncomingUTF8", "1"); }
  void store(const std::string& pdu) {
    sim::StoredMessage message;
    message.pdu = pdu;
    ASSERT_GT(h.modem.add_message(message), 0) << "the store is full";
  }
};

TEST_F(ReceivedPdusTest, LongTextsAreJoinedAndWhatHasNoTextLeavesTheStore) {
  install_per_run_command("incoming_sms.bat");
  using test::DeliverSpec;
  const auto gsm_part = [](unsigned sequence, std::string units) {
    return test::deliver_pdu({"+41791111111", test::kGsmCoding, test::concatenation_element(0xA7, false, 3, sequence),
                              std::move(units)});
  };
  const auto ucs2_part = [](unsigned sequence, std::u16string text) {
    return test::deliver_pdu({"+41792222222", test::kUcs2Coding, test::concatenation_element(0xA7, true, 2, sequence),
                              test::ucs2(text)});
  };
  struct Stored {
    std::string pdu;
    std::string gammu_type;  // what libgammu reads it as
    std::string gammu_text;
  };
  const std::vector<Stored> stored = {
      {gsm_part(3, "three"), "Deliver", "three"},
      {test::deliver_pdu({"+41793333333", test::kGsmCoding, "", "plain"}), "Deliver", "plain"},
      {ucs2_part(2, u"\u0436!"), "Deliver", "\u0436!"},
      {gsm_part(1, "one "), "Deliver", "one "},
      {test::deliver_pdu({"+41794444444", test::kEightBitCoding, "", std::string("\x01\x00\xFF", 3)}), "Deliver", ""},
      {test::deliver_pdu({"+41795555555", test::kEightBitCoding, test::wap_push_ports(), "\x01\x06mms"}), "Deliver",
       ""},
      {test::status_report_pdu("+41796666666", 42, 0), "Status_Report", ""},
      {test::deliver_pdu({"+41797777777", test::kUcs2Coding, "", test::ucs2(std::u16string(u"a\0b", 3))}), "Deliver",
       ""},
      {ucs2_part(1, u"\u0416\u0430"), "Deliver", "\u0416\u0430"},
      {gsm_part(2, "two, "), "Deliver", "two, "},
      {"0004", "", ""},  // cut short after its first octet
  };
  for (const Stored& s : stored) store(s.pdu);

  // The PDUs made here read the same in libgammu, where it is installed.
  std::vector<std::string> decodable;
  for (const Stored& s : stored) {
    if (!s.gammu_type.empty()) decodable.push_back(s.pdu);
  }
  if (auto decoded = test::decode_sms_pdus(decodable)) {
    ASSERT_EQ(decoded->size(), decodable.size());
    std::size_t i = 0;
    for (const Stored& s : stored) {
      if (s.gammu_type.empty()) continue;
      EXPECT_EQ((*decoded)[i].type, s.gammu_type) << i;
      if (!s.gammu_text.empty()) {
        EXPECT_EQ((*decoded)[i].text, s.gammu_text) << i;
      }
      ++i;
    }
    EXPECT_EQ((*decoded)[0].reference, 0xA7);
    EXPECT_EQ((*decoded)[0].part, 3);
    EXPECT_EQ((*decoded)[0].parts, 3);
    EXPECT_EQ((*decoded)[2].wide_reference, 0xA7);
    EXPECT_EQ((*decoded)[2].part, 2);
  }

  start();
  ASSERT_TRUE(wait_for_deletions(stored.size()));
  ASSERT_TRUE(eventually([&] { return finished_runs().size() == 3; }));
  EXPECT_EQ(finished_runs(), (Lines{"\"+41791111111\"\none two, three\n", "\"+41792222222\"\n\xD0\x96\xD0\xB0\xD0\xB6!\n",
                                    "\"+41793333333\"\nplain\n"}));
  EXPECT_TRUE(h.modem.messages().empty());
  EXPECT_EQ(h.link().status.not_handed_on.load(), 5);
  EXPECT_EQ(h.link().status.received.load(), 3);

  const std::string log = h.daily_log();
  for (const std::string& line : std::vector<std::string>{
           "Received message from \"+41794444444\" not handed on (8-bit data or a message for an application, such as a "
        "WAP push), deleted; its PDU: " + stored[4].pdu,
        "Received message from \"+41795555555\" not handed on (8-bit data",
        "Received message about \"+41796666666\" not handed on (a status report), deleted; its PDU: " + stored[6].pdu,
        "Received message from \"+41797777777\" not handed on (a text with a NUL character)",
        // Not at once: a line cut on its way would read so just once.
        "does not decode: it is read again at the next poll",
        "Received message from an unknown sender not handed on (a PDU that does not decode), deleted; its PDU: 0004"}) {
    EXPECT_TRUE(contains(log, line)) << line;
  }
  EXPECT_FALSE(contains(log, "not understood"));
}

TEST(ReceivedPdus, IncompleteLongTextGoesWithAMarkAfterTheWaitOrWhenTheStoreNeedsRoom) {
  struct Case {
    const char* name;
    std::string wait_secs;
    int store_capacity;
    const char* why;
  };
  for (const Case& c : {Case{"the wait is over", "30", 20, " after 30 s"},
                        Case{"the store is nearly full", "86400", 3, ": the message store is nearly full"}}) {
    test::ModemHarness h(kSpeedup);
    h.set("QualityPollEverySecs", "1000");
    h.set("IncomingUTF8", "1");
    h.set("IncomingPartsWaitSecs", c.wait_secs);
    h.set("CmdLineFormat", "recorder \"%s\" \"%s\"");
    h.install_recording_command("recorder");
    h.modem.configure([&c](sim::ModemConfig& config) { config.store_capacity = c.store_capacity; });
    for (unsigned sequence : {1u, 3u, 4u}) {
      sim::StoredMessage message;
      message.pdu = test::deliver_pdu({"+41791111111", test::kGsmCoding, test::concatenation_element(9, false, 4, sequence),
                                       "p" + std::to_string(sequence)});
      h.modem.add_message(message);
    }
    ASSERT_TRUE(h.start({IncomingThread})) << c.name;
    ASSERT_TRUE(h.modem.wait_for([](const sim::Recording& r) { return r.deletions.size() >= 3; }, 20s)) << c.name;
    ASSERT_TRUE(eventually([&] { return !h.command_output("recorder").empty(); })) << c.name;
    EXPECT_EQ(h.command_output("recorder"), "\"+41791111111\"\np1[part 2 of 4 missing]p3p4\n") << c.name;
    EXPECT_TRUE(contains(h.daily_log(), "Long SMS from \"+41791111111\" handed on incomplete, part 2 of 4 missing" +
                                            std::string(c.why)))
        << c.name;
  }
}

TEST_F(IncomingTest, StoreFillingUpIsSaidOnceAtEachLevelAndShownInTheStatus) {
  // The command is not there yet: every message stays, as when no command can start.
  h.set("CmdLineFormat", "recorder \"%s\" \"%s\"");
  h.modem.configure([](sim::ModemConfig& c) { c.store_capacity = 5; });
  for (int i = 0; i < 4; ++i) h.modem.add_message("+4179111111" + std::to_string(i), "ack");
  start();
  ASSERT_TRUE(h.wait_for_log("Message store nearly full (4 of 5 used)", 20s));
  ASSERT_EQ(h.modem.add_message("+41792222222", "ack"), 5);
  EXPECT_EQ(h.modem.add_message("+41793333333", "lost"), -1) << "a full store takes no more";
  ASSERT_TRUE(h.wait_for_log("Message store full (5 of 5 used)", 20s));
  EXPECT_EQ(h.link().status.store_used.load(), 5);
  EXPECT_EQ(h.link().status.store_total.load(), 5);

  h.install_recording_command("recorder");
  ASSERT_TRUE(h.wait_for_log("Message store back to normal (0 of 5 used)", 20s));
  EXPECT_EQ(h.link().status.store_used.load(), 0);
  const std::string log = h.daily_log();
  EXPECT_EQ(count_of(log, "Message store nearly full"), 1u);
  EXPECT_EQ(count_of(log, "Message store full"), 1u);
}

}  // namespace
}  // namespace qz
