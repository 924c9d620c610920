#include "modem/mms_sender.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "modem/modem_link.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using sim::CommandRule;
using sim::MmsStore;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class MmsSenderTest : public ::testing::Test {
 protected:
  explicit MmsSenderTest(double speedup = 50.0) : h(speedup) {
    h.set("IncomingEnable", "0");
    h.set("QualityPollEverySecs", "1000");
    h.set("Number", "123");
  }
  void start() { ASSERT_TRUE(h.start_and_forget_startup()); }
  int send(const std::string& number, const std::string& text = "Pump 7 failed") {
    return send_mms(h.link(), number, files, "Alarm", text);
  }
  // The log holds `text` once more than it did when `before` was taken.
  bool logged_anew(const std::string& before, const std::string& text) {
    std::string now = h.daily_log();
    auto count = [&text](const std::string& log) {
      std::size_t n = 0;
      for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
      return n;
    };
    return count(now) == count(before) + 1;
  }

  test::ModemHarness h;
  MmsFileList files{};
};

TEST_F(MmsSenderTest, MessageIsStoredSubmittedAndDeleted) {
  test::write_file(h.folder / "photo.jpg", std::string("\xFF\xD8\xFF\xE0JPEGDATA", 12));
  files[0] = (h.folder / "photo.jpg").string();
  start();
  ASSERT_EQ(send("079 123 45 67"), 0);

  auto stored = h.modem.mms();
  ASSERT_EQ(stored.size(), 1u);
  const std::string& pdu = stored[0].pdu;
  ASSERT_GE(pdu.size(), 2u);
  EXPECT_EQ(pdu.substr(0, 2), "\x8C\x80");
  EXPECT_TRUE(contains(pdu, "0791234567/TYPE=PLMN")) << "the To field has no blanks";
  EXPECT_TRUE(contains(pdu, "123/TYPE=PLMN"));
  EXPECT_TRUE(contains(pdu, "Pump 7 failed"));
  EXPECT_TRUE(contains(pdu, std::string("\xFF\xD8\xFF\xE0JPEGDATA", 12)));
  EXPECT_TRUE(stored[0].submitted);
  EXPECT_TRUE(stored[0].deleted);

  const std::string handle = "\"" + stored[0].handle + "\"";
  EXPECT_EQ(h.modem.command_lines(),
            (std::vector<std::string>{"ate0", "at+KPSW=?",
                                      "at+KPSW=\"MMS\"," + std::to_string(pdu.size()),
                                      "at+KPSSEND=" + handle, "at+KPSD=" + handle}));
}

TEST_F(MmsSenderTest, PduAtTheModemsLimitIsSentAndOneOctetMoreIsNot) {
  start();
  ASSERT_EQ(send("0791234567"), 0);
  const int size = static_cast<int>(h.modem.mms().at(0).pdu.size());

  h.modem.configure([size](sim::ModemConfig& c) { c.mms.max_pdu_size = size; });
  EXPECT_EQ(send("0791234567"), 0);
  ASSERT_EQ(h.modem.mms().size(), 2u);
  EXPECT_EQ(h.modem.mms()[1].pdu.size(), static_cast<std::size_t>(size));

  h.modem.configure([size](sim::ModemConfig& c) { c.mms.max_pdu_size = size - 1; });
  h.window_lines();
  std::size_t stores = h.modem.count_commands("AT+KPSW=\"MMS\"");
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_EQ(h.modem.count_commands("AT+KPSW=\"MMS\""), stores);
  std::string expected = "PDU Size " + std::to_string(size) +
                         " is greater than the max size allowed " + std::to_string(size - 1);
  EXPECT_TRUE(contains(h.daily_log(), expected));
  auto window = h.window_lines();
  ASSERT_EQ(window.size(), 1u);
  EXPECT_TRUE(contains(window[0], expected));
}

TEST_F(MmsSenderTest, ShortOrUndialableNumbersSendNoCommand) {
  start();
  for (const std::string number : {"12", "", "079\";+KPSD", "0791\r", "07912a"}) {
    EXPECT_EQ(send(number), -1) << number;
  }
  EXPECT_TRUE(h.modem.command_lines().empty());
  EXPECT_TRUE(contains(h.daily_log(), "Invalid tel number 12"));
  EXPECT_EQ(send("123"), 0);
}

// Each row: how the modem misbehaves, and the line the sender writes. Nothing was stored,
// so nothing may be deleted.
TEST_F(MmsSenderTest, FailuresBeforeTheMessageIsStoredDeleteNothing) {
  start();
  struct Row {
    std::function<void(sim::ModemConfig&)> modem;
    std::string line;
  };
  const std::vector<Row> rows = {
      {[](sim::ModemConfig& c) { c.rules.push_back(CommandRule::ignore("E0", 1)); },
       "ATE response not received"},
      {[](sim::ModemConfig& c) { c.rules.push_back(CommandRule::ignore("+KPSW=?", 1)); },
       "AT+KPSW=? response not received"},
      {[](sim::ModemConfig& c) { c.mms.store = MmsStore::NoConnect; }, "CONNECT not received"},
      {[](sim::ModemConfig& c) { c.mms.store = MmsStore::Error; }, "CONNECT not received"},
  };
  for (const Row& row : rows) {
    std::string before = h.daily_log();
    h.modem.configure(row.modem);
    EXPECT_EQ(send("0791234567"), -1) << row.line;
    EXPECT_TRUE(logged_anew(before, row.line)) << row.line;
    h.modem.configure([](sim::ModemConfig& c) { c.mms.store = MmsStore::Ok; });
  }
  EXPECT_EQ(h.modem.count_commands("AT+KPSSEND"), 0u);
  EXPECT_EQ(h.modem.count_commands("AT+KPSD"), 0u);
  EXPECT_TRUE(h.modem.mms().empty());

  // A file the builder cannot take: its own line, then the sender's.
  test::write_file(h.folder / "song.mp3", "ID3");
  files[3] = (h.folder / "song.mp3").string();
  h.modem.clear_recording();
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "song.mp3 - format "));
  EXPECT_TRUE(contains(h.daily_log(), "Buffer Overflowed, please check data size"));
  EXPECT_EQ(h.modem.command_lines(), (std::vector<std::string>{"ate0"}));
}

TEST_F(MmsSenderTest, MessageWithoutAUsableHandleIsNotSubmitted) {
  start();
  h.modem.configure([](sim::ModemConfig& c) { c.mms.store = MmsStore::NoHandle; });
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "AT+KPSW response not received"));
  ASSERT_EQ(h.modem.mms().size(), 1u) << "the PDU was transferred";

  // A handle too short to be one is treated as no answer: nothing cut is sent back.
  h.modem.configure([](sim::ModemConfig& c) {
    c.mms.store = MmsStore::Ok;
    c.mms.short_handle = true;
  });
  std::string before = h.daily_log();
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_TRUE(logged_anew(before, "AT+KPSW response not received"));
  ASSERT_EQ(h.modem.mms().size(), 2u);
  EXPECT_EQ(h.modem.mms()[1].handle.size(), 8u);
  EXPECT_EQ(h.modem.count_commands("AT+KPSSEND"), 0u);
  EXPECT_EQ(h.modem.count_commands("AT+KPSD"), 0u);
}

TEST_F(MmsSenderTest, FailuresAfterStoringDeleteTheStoredMessage) {
  start();
  h.modem.add_rule(CommandRule::ignore("+KPSSEND", 1));
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "AT+KPSSEND response not received"));

  h.modem.configure([](sim::ModemConfig& c) { c.mms.report_status = 1; });
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "+KPSSR response: status 1 (not sent) received"));

  auto stored = h.modem.mms();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_FALSE(stored[0].submitted);
  EXPECT_TRUE(stored[0].deleted);
  EXPECT_TRUE(stored[1].submitted);
  EXPECT_TRUE(stored[1].deleted);
}

TEST_F(MmsSenderTest, SentMessageWhoseDeletionFailsStillCountsAsSent) {
  start();
  h.modem.configure([](sim::ModemConfig& c) { c.mms.delete_ok = false; });
  // Sending it again would reach the subscriber twice.
  EXPECT_EQ(send("0791234567"), 0);
  EXPECT_TRUE(contains(h.daily_log(), "AT+KPSD response not received or error"));
  ASSERT_EQ(h.modem.mms().size(), 1u);
  EXPECT_TRUE(h.modem.mms()[0].submitted);
  EXPECT_EQ(h.modem.count_commands("AT+KPSD"), 1u);
}

// The report wait is the longest of all (200 s); a faster clock keeps the test short.
class MmsSenderReportTest : public MmsSenderTest {
 protected:
  MmsSenderReportTest() : MmsSenderTest(100.0) {}
};

TEST_F(MmsSenderReportTest, MissingSendReportDeletesTheStoredMessage) {
  h.modem.configure([](sim::ModemConfig& c) { c.mms.report_status = -1; });
  start();
  EXPECT_EQ(send("0791234567"), -1);
  EXPECT_TRUE(contains(h.daily_log(), "+KPSSR response not received"));
  ASSERT_EQ(h.modem.mms().size(), 1u);
  EXPECT_TRUE(h.modem.mms()[0].submitted);
  EXPECT_TRUE(h.modem.mms()[0].deleted);
}

}  // namespace
}  // namespace qz
