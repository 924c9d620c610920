#include "modemsim/modem_engine.h"

#include <gtest/gtest.h>

namespace qz::sim {
namespace {

using namespace std::chrono_literals;

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

// The engine on a hand-driven clock, echo off.
class EngineTest : public ::testing::Test {
 protected:
  explicit EngineTest(ModemConfig config = {}) : engine(with_echo_off(std::move(config))) {}

  static ModemConfig with_echo_off(ModemConfig config) {
    config.echo = false;
    return config;
  }

  // Feeds bytes at time `at` (ms after t0) and returns what is due then.
  std::string at(long ms, std::string_view bytes = {}) {
    auto now = t0 + Millis(ms);
    if (!bytes.empty()) engine.receive(bytes, now);
    engine.tick(now);
    return engine.take_due(now);
  }

  ModemEngine engine;
  SimClock::time_point t0 = SimClock::now();
};

TEST_F(EngineTest, DelayedAnswerHoldsBackLaterAnswersButNotTimedReports) {
  engine.config().rules.push_back(CommandRule::delayed("+CSQ", 1000ms, 1));
  EXPECT_EQ(at(0, "at+csq\r"), "");
  // Asked while the first answer is pending: answered after it, in order.
  EXPECT_EQ(at(10, "at\r"), "");
  EXPECT_EQ(at(999), "");
  EXPECT_EQ(at(1000), "\r\n+CSQ: 20,99\r\n" + kOk + kOk);
  // An unsolicited line waits for nobody.
  engine.inject("\r\nRING\r\n", t0 + 1100ms);
  EXPECT_EQ(at(1100), "\r\nRING\r\n");
}

TEST_F(EngineTest, HangingUpCancelsThePendingAnswerAndFreesTheLine) {
  engine.config().call.answer_delay = 20000ms;
  engine.config().call.hang_up_after = 5000ms;
  EXPECT_EQ(at(0, "atd123;\r"), "");
  // The hang-up is answered at once, not after the 20 s the dial would have taken.
  EXPECT_EQ(at(100, "at+chup\r"), kOk);
  EXPECT_EQ(at(30000), "");
  EXPECT_FALSE(engine.next_deadline().has_value());
}

TEST_F(EngineTest, LineEndBeforeTransferIsNotData) {
  EXPECT_EQ(at(0, "at+KPSW=\"MMS\",3\r\n"), "\r\nCONNECT\r\n");
  // A LF in a later write is the PDU's own byte.
  std::string reply = at(10, std::string("\n\x00\r", 3));
  EXPECT_NE(reply.find("+KPSW: \"MMS"), std::string::npos) << reply;
  ASSERT_EQ(engine.recording().mms.size(), 1u);
  EXPECT_EQ(engine.recording().mms[0].pdu, std::string("\n\x00\r", 3));

  EXPECT_EQ(at(20, "at+cmgs=\"1\"\r\n"), "\r\n> ");
  at(30, "\nx\x1A");
  ASSERT_EQ(engine.recording().sms.size(), 1u);
  EXPECT_EQ(engine.recording().sms[0].text, "\nx");
}

TEST_F(EngineTest, StoreRefusesTakenFullAndOutOfRangeIndices) {
  engine.config().store_capacity = 2;
  StoredMessage m;
  m.text = "x";
  EXPECT_EQ(engine.add_message(m, false, t0), 1);
  EXPECT_EQ(engine.add_message(m, false, t0), 2);
  EXPECT_EQ(engine.add_message(m, false, t0), -1);
  m.index = 2;
  EXPECT_EQ(engine.add_message(m, false, t0), -1);
  m.index = 3;
  EXPECT_EQ(engine.add_message(m, false, t0), -1);

  at(0, "at+cmgl=\"ALL\"\r");  // marks both read
  m.index = 0;
  m.status = "garbage";
  EXPECT_EQ(engine.add_message(m, false, t0), -1);
  EXPECT_EQ(at(10, "at+cmgd=1,1\r"), kOk);  // read ones only
  EXPECT_TRUE(engine.messages().empty());
  EXPECT_EQ(engine.add_message(m, false, t0), 1);
  EXPECT_EQ(engine.messages()[0].status, "REC UNREAD");
}

TEST_F(EngineTest, SettingsAreKeptAndFactoryResetRestoresEcho) {
  EXPECT_EQ(at(0, "at+csca=\"+41790000000\",145\r"), kOk);
  EXPECT_EQ(at(10, "at+csca?\r"), "\r\n+CSCA: \"+41790000000\",145\r\n" + kOk);
  EXPECT_EQ(at(20, "at+csca=\"\",145\r"), kError);
  EXPECT_EQ(at(30, "at+csmp=17,167,0,16\r"), kOk);
  EXPECT_EQ(at(40, "at+KMMCNF=1,\"http://mms.example/\"\r"), kOk);
  EXPECT_EQ(at(50, "at+KMMCNF=3,\"apn\",\"user\",\"pw\",10.0.0.1,1\r"), kOk);

  ModemState s = engine.state();
  EXPECT_EQ(s.service_centre, "+41790000000");
  EXPECT_EQ(s.sms_parameters, "17,167,0,16");
  EXPECT_EQ(s.mms_url, "http://mms.example/");
  EXPECT_EQ(s.mms_parameters, "\"apn\",\"user\",\"pw\",10.0.0.1,1");

  engine.config().echo = true;
  EXPECT_EQ(at(60, "at&f\r"), kOk);
  EXPECT_EQ(at(70, "at\r"), "at\r\n" + kOk);
}

TEST_F(EngineTest, FailedStoreLeavesNoHandleToSendOrDelete) {
  engine.config().mms.store = MmsStore::NoHandle;
  at(0, "at+KPSW=\"MMS\",2\r");
  EXPECT_EQ(at(10, "ab"), kError);
  ASSERT_EQ(engine.recording().mms.size(), 1u);
  EXPECT_EQ(engine.recording().mms[0].handle, "");
  EXPECT_EQ(engine.recording().mms[0].pdu, "ab");
  EXPECT_EQ(at(20, "at+KPSSEND=\"\"\r"), kError);
  EXPECT_EQ(at(30, "at+KPSD=\"\"\r"), kError);

  // Unsupported MMS: every MMS command is refused.
  engine.config().mms.supported = false;
  EXPECT_EQ(at(40, "at+KPSW=?\r"), kError);
  EXPECT_EQ(at(50, "at+KMMCNF=1,\"u\"\r"), kError);
}

TEST_F(EngineTest, SilenceCoversEchoAnswersAndStoreNotices) {
  engine.config().echo = true;
  engine.power_cycle(t0);
  engine.config().silent = true;
  StoredMessage m;
  EXPECT_EQ(engine.add_message(m, true, t0), 1);
  EXPECT_EQ(at(0, "at+cmgl=4\r"), "");
  engine.inject("noise", t0);
  EXPECT_EQ(at(10), "noise");
  ASSERT_EQ(engine.recording().commands.size(), 1u);
}

class PinEngineTest : public EngineTest {
 protected:
  PinEngineTest() : EngineTest(config()) {}
  static ModemConfig config() {
    ModemConfig c;
    c.pin = "0000";
    c.functionality = 0;
    return c;
  }
};

TEST_F(PinEngineTest, LockedSimAndRadioOffRefuseNetworkWork) {
  EXPECT_EQ(at(0, "at+cmgs=\"1\"\r"), "\r\n+CMS ERROR: 311\r\n");
  EXPECT_EQ(at(10, "atd1;\r"), "\r\n+CME ERROR: 11\r\n");
  EXPECT_EQ(at(20, "at+cpin=0000\r"), kOk);
  EXPECT_EQ(at(30, "at+cpin=0000\r"), "\r\n+CME ERROR: 3\r\n");
  EXPECT_EQ(at(40, "at+cops=0,0\r"), "\r\n+CME ERROR: 30\r\n");
  EXPECT_EQ(at(50, "at+cfun=1\r"), kOk);
  EXPECT_EQ(at(60, "at+cops=0,0\r"), kOk);
  EXPECT_TRUE(engine.recording().calls.empty());
}

}  // namespace
}  // namespace qz::sim
