#include "modem/modem_channel.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/gateway_log.h"
#include "core/settings.h"
#include "modem/serial_port.h"
#include "support/line_reader.h"
#include "support/temp_folder.h"
#include "support/test_clock.h"

namespace qz {
namespace {

// The channel on a real serial port (a pseudo-terminal); the test plays the modem on the
// master side.
class ModemChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(folder / "log");
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    modem_reader_.emplace(master_);
    port_ = std::make_unique<SerialPort>(ttyname(slave_));
    ASSERT_EQ(port_->Open(), 1);
    port_->Configure("96,N,8,1");
    port_->SetTimeouts(5);
    channel_.attach(port_.get());
    channel_.start_input_thread();
  }
  void TearDown() override {
    channel_.stop_input_thread();
    port_.reset();
    close(master_);
    close(slave_);
  }

  void modem_sends(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the gateway wrote, up to and including `end`.
  std::string modem_receives(std::string_view end) { return modem_reader_->read_until(end); }
  std::string daily_log() {
    std::string all;
    for (auto& e : std::filesystem::directory_iterator(folder / "log")) all += test::read_file(e.path());
    return all;
  }
  // Sends OK after `bytes` so the test knows every line before it has been parsed.
  void modem_sends_then_sync(const std::string& bytes) {
    channel_.events.clear(OkEvent);
    modem_sends(bytes + "\r\nOK\r\n");
    ASSERT_EQ(channel_.WaitOk(5000), 0);
  }

  test::TempFolder folder;
  GatewayLog log_{folder.path()};
  Settings settings_;
  ModemChannel channel_{log_, settings_};
  int master_ = -1, slave_ = -1;
  std::optional<test::LineReader> modem_reader_;
  std::unique_ptr<SerialPort> port_;
};

TEST_F(ModemChannelTest, FramedRepliesSetTheirEventsWithValuesStoredFirst) {
  channel_.events.clear(OkEvent);
  modem_sends("\r\nOK\r\n");
  EXPECT_EQ(channel_.WaitOk(5000), 0);

  modem_sends("\r\n+CPIN: SIM PIN\r\n");
  ASSERT_TRUE(channel_.events.wait(PinStatusEvent, 5000));
  EXPECT_FALSE(channel_.SimReady());
  channel_.events.clear(PinStatusEvent);
  modem_sends("\r\n+CPIN: ready\r\n");
  ASSERT_TRUE(channel_.events.wait(PinStatusEvent, 5000));
  EXPECT_TRUE(channel_.SimReady());

  modem_sends("\r\n+CFUN: 1\r\n");
  ASSERT_EQ(channel_.WaitFunctionalityOrError(5000), 0);
  EXPECT_EQ(channel_.FunctionalityLevel(), 1);

  modem_sends("\r\n+CSCA: \"+41794999000\",145\r\n");
  ASSERT_TRUE(channel_.events.wait(ServiceCentreEvent, 5000));
  EXPECT_EQ(channel_.ServiceCentreReply(), "\"+41794999000\",145");

  modem_sends("\r\n+KPSW: (\"MMS\"),100000\r\n");
  ASSERT_TRUE(channel_.events.wait(MmsMaxSizeEvent, 5000));
  EXPECT_EQ(channel_.MmsMaxPduSize(), 100000);

  modem_sends("\r\n+KPSW: \"0123456789ABCDEFGHIJ\",1\r\n");
  ASSERT_TRUE(channel_.events.wait(MmsStoredEvent, 5000));
  EXPECT_EQ(channel_.MmsHandle(), "\"0123456789ABCDEFGHIJ\"\r");
}

TEST_F(ModemChannelTest, EchoExtendedErrorsAndUnknownLinesSetNothing) {
  modem_sends_then_sync("\r\nAT+CSQ\r\n\r\n+CME ERROR: 10\r\n+CMS ERROR: 500\r\nRING\r\n+CSQ: 17,99\r\n");
  EXPECT_FALSE(channel_.events.is_set(ErrorEvent));
  for (int e = ErrorEvent; e < kResponseEventCount; ++e) {
    EXPECT_FALSE(channel_.events.is_set(static_cast<ResponseEvent>(e))) << e;
  }
  modem_sends("\r\nERROR\r\n");
  EXPECT_EQ(channel_.WaitOkOrError(5000), 0) << "a set OkEvent wins over ErrorEvent";
  channel_.events.clear(OkEvent);
  EXPECT_EQ(channel_.WaitOkOrError(5000), 1);
}

TEST_F(ModemChannelTest, SendReportStatusDecidesSentOrNothing) {
  modem_sends("\r\n+KPSSR: 1,2\r\n");
  modem_sends_then_sync("");
  EXPECT_FALSE(channel_.events.is_set(MmsSendReportEvent));

  modem_sends("\r\n+KPSSR: 1,0\r\n");
  ASSERT_TRUE(channel_.events.wait(MmsSendReportEvent, 5000));
  EXPECT_EQ(channel_.MmsSent(), 1);
  channel_.events.clear(MmsSendReportEvent);
  modem_sends("\r\n+KPSSR: 1,1\r\n");
  ASSERT_TRUE(channel_.events.wait(MmsSendReportEvent, 5000));
  EXPECT_EQ(channel_.MmsSent(), 0);
}

TEST_F(ModemChannelTest, ShortStoredMmsReplyLeavesNoHandle) {
  modem_sends("\r\n+KPSW: \"0123\"\r\n");
  ASSERT_TRUE(channel_.events.wait(MmsStoredEvent, 5000));
  EXPECT_EQ(channel_.MmsHandle(), "");
}

TEST_F(ModemChannelTest, CaptureModesCollectLinesAndEndOnTheirTerminators) {
  channel_.start_query_capture();
  channel_.events.clear(OkEvent);
  modem_sends("\r\n+CSQ: 17,99\r\nERROR\r\n\r\nOK\r\n");
  ASSERT_EQ(channel_.WaitOk(5000), 0);
  EXPECT_EQ(channel_.stop_capture(), "+CSQ: 17,99\rERROR\r");

  channel_.start_list_capture();
  channel_.events.clear(ErrorEvent);
  modem_sends("\r\n+CMGL: 1,\"REC READ\",\"+4179\",,\"x\"\r\nhello\r\nERROR\r\n");
  ASSERT_TRUE(channel_.events.wait(ErrorEvent, 5000));
  EXPECT_EQ(channel_.stop_capture(), "+CMGL: 1,\"REC READ\",\"+4179\",,\"x\"\rhello\r");
}

TEST_F(ModemChannelTest, ReceivedTextsReadingOkOrErrorOrHoldingAtSignsStayInTheListing) {
  using namespace std::string_literals;
  channel_.start_list_capture();
  channel_.events.clear(OkEvent);
  channel_.events.clear(ErrorEvent);
  modem_sends("\r\n+CMGL: 1,\"REC READ\",\"+4179\",,\"x\"\r\nOK\r\n"
              "+CMGL: 2,\"REC READ\",\"+4178\",,\"x\"\r\nERROR\r\nERROR at pump\r\n"
              "+CMGL: 3,\"REC READ\",\"+4177\",,\"x\"\r\nmail\0home.ch\r\n\r\nOK\r\n"s);
  ASSERT_EQ(channel_.WaitOkOrError(5000), 0);
  EXPECT_FALSE(channel_.events.is_set(ErrorEvent));
  EXPECT_EQ(channel_.stop_capture(),
            "+CMGL: 1,\"REC READ\",\"+4179\",,\"x\"\rOK\r"
            "+CMGL: 2,\"REC READ\",\"+4178\",,\"x\"\rERROR\rERROR at pump\r"
            "+CMGL: 3,\"REC READ\",\"+4177\",,\"x\"\rmail\0home.ch\r"s);
}

TEST_F(ModemChannelTest, StaleOkSatisfiesTheNextWaitUnlessCleared) {
  modem_sends("\r\nOK\r\n");
  ASSERT_EQ(channel_.WaitOk(5000), 0);
  EXPECT_EQ(channel_.WaitOk(0), 0);
  channel_.events.clear(OkEvent);
  EXPECT_EQ(channel_.WaitOk(50), -1);
}

TEST_F(ModemChannelTest, CommandWordIsCapitalisedButNeverTheArgument) {
  settings_.CapitalizeCommands = 1;
  EXPECT_EQ(channel_.SendCommand("at+KPSD=", "abc\r"), 0);
  EXPECT_EQ(modem_receives("\r"), "AT+KPSD=abc\r");
  settings_.CapitalizeCommands = 0;
  channel_.SendCommand("at+cmgs", "=\"+41 79\"\r");
  EXPECT_EQ(modem_receives("\r"), "at+cmgs=\"+41 79\"\r");
}

TEST_F(ModemChannelTest, FloodProtectionSpacesCommands) {
  test::FastClock fast(20);
  settings_.FloodProtection = 500;
  // Timed from before the first send: a pause between the two sends, however long a busy
  // machine makes it, then only shortens the wait the channel still owes.
  int64_t before = clock().steady_ms();
  channel_.SendCommand("at", "\r");
  channel_.SendCommand("at", "\r");
  EXPECT_GE(clock().steady_ms() - before, 480);  // less the fast clock's rounding of its sleep
}

TEST_F(ModemChannelTest, NoFloodProtectionSendsWithoutPause) {
  // A clock a thousand times slower than the world: a pause of even one FloodProtection
  // tick would take far longer than any load makes two writes take.
  test::FastClock slow(0.001);
  settings_.FloodProtection = 0;
  int64_t before = clock().steady_ms();
  channel_.SendCommand("at", "\r");
  channel_.SendCommand("at", "\r");
  EXPECT_LT(clock().steady_ms() - before, 400);
}

TEST_F(ModemChannelTest, PromptWithoutLineEndIsSeenInTheLineBeingAssembled) {
  EXPECT_FALSE(channel_.PartialLineStartsWith("> "));
  modem_sends("\r\n> ");
  bool seen = false;
  for (int i = 0; i < 200 && !seen; ++i) {
    seen = channel_.PartialLineStartsWith("> ");
    if (!seen) usleep(5000);
  }
  EXPECT_TRUE(seen);
  modem_sends_then_sync("\r\n+CMGS: 4\r\n");
  EXPECT_FALSE(channel_.PartialLineStartsWith("> "));
}

TEST_F(ModemChannelTest, OverlongLinesAndGarbageNeitherCrashNorPassForReplies) {
  // The OK at the end of an over-long line lies beyond the buffer and is dropped with it.
  modem_sends(std::string(600, 'x') + "OK\r\n");
  modem_sends(std::string("\x00\xff\x1a\x80garbage\x00OK\r\n", 15));
  modem_sends_then_sync("");
  std::string log = daily_log();
  EXPECT_NE(log.find(std::string(511, 'x') + "\n"), std::string::npos);
  EXPECT_EQ(log.find(std::string(512, 'x')), std::string::npos);
}

TEST_F(ModemChannelTest, PinInTheModemsEchoIsMaskedInTheDailyLog) {
  modem_sends_then_sync("\r\nat+cpin=\"4711\"\r\n");
  std::string log = daily_log();
  EXPECT_EQ(log.find("4711"), std::string::npos);
  EXPECT_NE(log.find("at+cpin=****"), std::string::npos);
}

TEST(ModemChannelWithoutPort, SendCommandFailsAndWritesNothing) {
  test::TempFolder folder;
  GatewayLog log(folder.path());
  Settings settings;
  ModemChannel channel(log, settings);
  EXPECT_EQ(channel.SendCommand("at", "\r"), -1);
}

// Delivery reports come unasked, between replies and in the middle of a listing, in
// text or PDU mode: each is handed on once, and nothing around it is lost.
class StatusReportChannelTest : public ModemChannelTest {
 protected:
  void SetUp() override {
    channel_.on_status_report([this](const StatusReport& r) {
      std::lock_guard lock(mutex_);
      references_.push_back(r.reference);
    });
    ModemChannelTest::SetUp();
  }
  std::vector<int> references() {
    std::lock_guard lock(mutex_);
    return std::exchange(references_, {});
  }
  std::mutex mutex_;
  std::vector<int> references_;
};

TEST_F(StatusReportChannelTest, ReportsAreHandedOnAndTheLinesAroundThemKeepTheirMeaning) {
  const std::string pdu = "00062A0B911497550500F142103021000040421030210005400000";
  modem_sends_then_sync("\r\n+CMGS: 17\r\n");
  EXPECT_EQ(channel_.MessageReference(), 17);

  modem_sends_then_sync("\r\n+CDS: 6,7,\"+41795550001\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:00:50+04\",0\r\n"
                        "\r\n+CDS: 25\r\n" + pdu + "\r\n");
  EXPECT_EQ(references(), (std::vector<int>{7, 42}));

  // A PDU announced but not sent: the OK after it is still an OK.
  modem_sends_then_sync("\r\n+CDS: 25\r\n");
  EXPECT_EQ(references(), std::vector<int>{});

  channel_.start_list_capture();
  channel_.events.clear(OkEvent);
  modem_sends("\r\n+CMGL: 1,\"REC READ\",\"+4179\",,\"x\"\r\n+CDS: 6,9,,,\"24/01/03,12:00:00+04\",\"24/01/03,12:00:50+04\",0\r\n"
              "\r\n+CDS: 25\r\n" + pdu + "\r\n+CMGL: 2,\"REC READ\",\"+4178\",,\"x\"\r\nyes\r\n\r\nOK\r\n");
  ASSERT_EQ(channel_.WaitOk(5000), 0);
  EXPECT_EQ(channel_.stop_capture(),
            "+CMGL: 1,\"REC READ\",\"+4179\",,\"x\"\r+CDS: 6,9,,,\"24/01/03,12:00:00+04\",\"24/01/03,12:00:50+04\",0\r"
            "+CMGL: 2,\"REC READ\",\"+4178\",,\"x\"\ryes\r")
      << "a listed text is a text, a report between entries is no entry";
  EXPECT_EQ(references(), std::vector<int>{42});

  modem_sends_then_sync("\r\n+CDS: 6,7,\"+4179;reboot\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:00:50+04\",0\r\n");
  EXPECT_EQ(references(), std::vector<int>{});
  EXPECT_NE(daily_log().find("A delivery report the gateway cannot read was dropped"), std::string::npos);
}

}  // namespace
}  // namespace qz
