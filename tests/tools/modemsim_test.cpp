#include "modemsim/modem_simulator.h"

#include "support/line_reader.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace qz::sim {
namespace {

using namespace std::chrono_literals;

const std::string kOk = "\r\nOK\r\n";

// The gateway's side of the line: the pty slave in raw mode.
class Port {
 public:
  explicit Port(const std::string& path) : fd_(open_raw(path)), reader_(fd_) {}
  ~Port() { close(); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  void send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Everything up to and including `end`, once it has come whole.
  std::string read_until(std::string_view end) { return reader_.read_until(end); }
  // The whole lines that come within `span`.
  std::string read_for(Millis span) { return reader_.read_lines_for(span); }

  std::string command(std::string_view line, std::string_view until = kOk) {
    send(line);
    return read_until(until);
  }

 private:
  static int open_raw(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fd;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
  }

  int fd_;
  test::LineReader reader_;
};

class ModemSimTest : public ::testing::Test {
 protected:
  ModemSimTest() : port(modem.slave_path()) {}
  void SetUp() override { ASSERT_TRUE(port.is_open()) << modem.slave_path(); }
  void echo_off() { ASSERT_EQ(port.command("ATE0\r"), "ATE0\r\n" + kOk); }

  ModemSimulator modem;
  Port port;
};

TEST_F(ModemSimTest, EchoesUntilAte0AndFramesEveryAnswer) {
  EXPECT_EQ(port.command("AT\r"), "AT\r\n" + kOk);
  // Lower case, LF alone as line end; the echo is the line as received.
  EXPECT_EQ(port.command("ate0\n"), "ate0\r\n" + kOk);
  EXPECT_EQ(port.command("AT\r\n"), kOk);
  EXPECT_EQ(port.command("AT+NOSUCH\r", "ERROR\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(port.command("ATE1\r"), kOk);
  EXPECT_EQ(port.command("at+cmgf=1\r"), "at+cmgf=1\r\n" + kOk);
  EXPECT_EQ(port.command("AT+CMGF?\r"), "AT+CMGF?\r\n\r\n+CMGF: 1\r\n" + kOk);
  // The LF of a CR LF is no second command, and a line that is not a command gets nothing.
  port.send("hello\r");
  EXPECT_EQ(port.read_until("\r\n"), "hello\r\n");
  EXPECT_EQ(port.command("at\r"), "at\r\n" + kOk);
}

TEST_F(ModemSimTest, SimWantsPinBeforeNetworkAndTakesItSplitOverTwoWrites) {
  modem.configure([](ModemConfig& c) { c.pin = "1234"; });
  echo_off();
  EXPECT_EQ(port.command("at+cpin?\r"), "\r\n+CPIN: SIM PIN\r\n" + kOk);
  EXPECT_EQ(port.command("at+cops=0,0\r", "11\r\n"), "\r\n+CME ERROR: 11\r\n");
  EXPECT_EQ(port.command("at+cpin=\"9999\"\r", "16\r\n"), "\r\n+CME ERROR: 16\r\n");

  port.send("at+cpin=\"");
  EXPECT_EQ(port.read_for(100ms), "");
  EXPECT_EQ(port.command("1234\"\r"), kOk);
  EXPECT_EQ(port.command("at+cpin?\r"), "\r\n+CPIN: READY\r\n" + kOk);
  EXPECT_EQ(port.command("at+cops=0,0\r"), kOk);
  EXPECT_TRUE(modem.state().sim_ready);

  modem.power_cycle();
  EXPECT_FALSE(modem.state().sim_ready);
  EXPECT_TRUE(modem.state().echo);
}

TEST_F(ModemSimTest, SmsPromptHasNoLineEndAndTextIsRecordedRaw) {
  echo_off();
  port.send("at+cmgs=\"+41791234567\"\r");
  EXPECT_EQ(port.read_until("> "), "\r\n> ");
  EXPECT_EQ(port.read_for(150ms), "");

  // GSM '@' is the byte 0; CR and LF belong to the text until Ctrl-Z.
  const std::string text("A\0B\r\nC", 6);
  port.send(text + "\x1A");
  EXPECT_EQ(port.read_until(kOk), "\r\n+CMGS: 1\r\n" + kOk);

  port.send("at+cmgs=\"123\"\r");
  port.read_until("> ");
  port.send("never mind\x1B");
  EXPECT_EQ(port.read_until(kOk), kOk);

  auto sms = modem.sms();
  ASSERT_EQ(sms.size(), 2u);
  EXPECT_EQ(sms[0].number, "+41791234567");
  EXPECT_EQ(sms[0].text, text);
  EXPECT_TRUE(sms[0].accepted);
  EXPECT_EQ(sms[1].text, "never mind");
  EXPECT_FALSE(sms[1].accepted);
}

TEST_F(ModemSimTest, SmsFailureModesAndTheirCount) {
  modem.configure([](ModemConfig& c) {
    c.sms.failure = SmsFailure::CmsError;
    c.sms.times = 1;
  });
  echo_off();
  port.send("at+cmgs=\"1\"\r");
  port.read_until("> ");
  port.send("x\x1A");
  EXPECT_EQ(port.read_until("500\r\n"), "\r\n+CMS ERROR: 500\r\n");
  port.send("at+cmgs=\"1\"\r");
  port.read_until("> ");
  port.send("x\x1A");
  EXPECT_EQ(port.read_until(kOk), "\r\n+CMGS: 1\r\n" + kOk);

  // Without a prompt the modem stays in command mode: the next line is a command again.
  modem.configure([](ModemConfig& c) {
    c.sms.failure = SmsFailure::NoPrompt;
    c.sms.times = -1;
  });
  port.send("at+cmgs=\"1\"\r");
  EXPECT_EQ(port.read_for(200ms), "");
  EXPECT_EQ(port.command("at\r"), kOk);
}

TEST_F(ModemSimTest, RulesReplaceTheAnswerOfMatchingCommandsOnly) {
  modem.add_rule(CommandRule::error("+COPS"));
  modem.add_rule(CommandRule::cme_error("AT+CPIN?", 10));
  modem.add_rule(CommandRule::ignore("+CFUN=", 1));
  echo_off();
  EXPECT_EQ(port.command("at+cops=0,0\r", "ERROR\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(port.command("AT+CPIN?\r", "10\r\n"), "\r\n+CME ERROR: 10\r\n");
  EXPECT_EQ(port.command("at+cfun?\r"), "\r\n+CFUN: 1\r\n" + kOk);

  // An ignored command has no effect; its count used up, the next one is executed.
  port.send("at+cfun=0\r");
  EXPECT_EQ(port.read_for(200ms), "");
  EXPECT_EQ(modem.state().functionality, 1);
  EXPECT_EQ(port.command("at+cfun=0\r"), kOk);
  EXPECT_EQ(modem.state().functionality, 0);
}

TEST_F(ModemSimTest, RulesDelayDropAndPrecedeAnswersWithNoise) {
  modem.add_rule(CommandRule::drop("E0"));
  modem.add_rule(CommandRule::delayed("+CSQ", 300ms, 1));
  modem.add_rule(CommandRule::noise_before("+CSQ", std::string("\x01\xFFgarbage\r\nRING\r\n")));

  // A dropped answer: the command still takes effect.
  port.send("ATE0\r");
  EXPECT_EQ(port.read_until("\r\n"), "ATE0\r\n");
  EXPECT_FALSE(modem.state().echo);

  auto sent = SimClock::now();
  EXPECT_EQ(port.command("at+csq\r"), "\r\n+CSQ: 20,99\r\n" + kOk);
  EXPECT_GE(SimClock::now() - sent, 290ms);
  EXPECT_EQ(port.command("at+csq\r"), std::string("\x01\xFFgarbage\r\nRING\r\n") +
                                          "\r\n+CSQ: 20,99\r\n" + kOk);
}

TEST_F(ModemSimTest, SilentModemAnswersNothingButRecords) {
  modem.set_silent(true);
  port.send("AT\r");
  port.send("AT+CSQ\r");
  EXPECT_EQ(port.read_for(300ms), "");
  EXPECT_EQ(modem.command_lines(), (std::vector<std::string>{"AT", "AT+CSQ"}));

  modem.set_silent(false);
  EXPECT_EQ(port.command("AT\r"), "AT\r\n" + kOk);
}

TEST_F(ModemSimTest, SignalLevelFollowsConfiguration) {
  echo_off();
  modem.set_signal(17);
  EXPECT_EQ(port.command("at+csq\r"), "\r\n+CSQ: 17,99\r\n" + kOk);
  modem.set_signal(99);
  EXPECT_EQ(port.command("at+csq\r"), "\r\n+CSQ: 99,99\r\n" + kOk);
}

TEST_F(ModemSimTest, ListingTestAnswerFollowsConfiguration) {
  echo_off();
  EXPECT_EQ(port.command("at+cmgl=?\r"),
            "\r\n+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")\r\n" +
                kOk);
  modem.configure([](ModemConfig& c) { c.list_test_reply = ListTestReply::Lower; });
  EXPECT_EQ(port.command("at+cmgl=?\r"),
            "\r\n+CMGL: (\"rec unread\",\"rec read\",\"sto unsent\",\"sto sent\",\"all\")\r\n" +
                kOk);
  modem.configure([](ModemConfig& c) { c.list_test_reply = ListTestReply::Numeric; });
  EXPECT_EQ(port.command("at+cmgl=?\r"), "\r\n+CMGL: (0-4)\r\n" + kOk);
}

TEST_F(ModemSimTest, ListsStoredMessagesInEveryAcceptedFormAndDeletes) {
  echo_off();
  // Text mode: in PDU mode the listing holds PDUs.
  EXPECT_EQ(port.command("at+cmgf=1\r"), kOk);
  ASSERT_EQ(modem.add_message("+41791111111", "Hello"), 1);
  ASSERT_EQ(modem.add_message("+41792222222", "two\nlines"), 2);

  EXPECT_EQ(port.command("at+cmgl=\"ALL\"\r"),
            "\r\n+CMGL: 1,\"REC UNREAD\",\"+41791111111\",,\"24/03/01,12:00:00+04\"\r\nHello"
            "\r\n+CMGL: 2,\"REC UNREAD\",\"+41792222222\",,\"24/03/01,12:00:00+04\"\r\ntwo\r\nlines"
            "\r\n" + kOk);
  // Listing marks them read, so nothing is unread any more.
  EXPECT_EQ(port.command("at+cmgl=\"rec unread\"\r"), kOk);
  EXPECT_EQ(port.command("at+cmgl=4\r"),
            "\r\n+CMGL: 1,1,,5\r\nHello\r\n+CMGL: 2,1,,9\r\ntwo\r\nlines\r\n" + kOk);

  modem.configure([](ModemConfig& c) { c.list_forms.numeric = false; });
  EXPECT_EQ(port.command("at+cmgl=4\r", "ERROR\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(port.command("at+cmgl=\"All\"\r", "ERROR\r\n"), "\r\nERROR\r\n");

  EXPECT_EQ(port.command("at+cmgd=1\r"), kOk);
  EXPECT_EQ(port.command("at+cmgd=5\r"), kOk);
  EXPECT_EQ(port.command("at+cmgd=99\r", "321\r\n"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(modem.deletions(), (std::vector<int>{1, 5}));
  ASSERT_EQ(modem.messages().size(), 1u);
  EXPECT_EQ(modem.messages()[0].index, 2);

  EXPECT_EQ(modem.add_message("+41793333333", "new", true), 1);
  EXPECT_EQ(port.read_until("1\r\n"), "\r\n+CMTI: \"SM\",1\r\n");
}

TEST_F(ModemSimTest, MmsIsStoredThroughConnectSubmittedAndDeleted) {
  echo_off();
  EXPECT_EQ(port.command("at+KPSW=?\r"), "\r\n+KPSW: (\"MMS\"),102400\r\n" + kOk);

  const std::string pdu("\x8C\x80\r\n\x1A\x00\xFF", 7);
  EXPECT_EQ(port.command("at+KPSW=\"MMS\",7\r", "CONNECT\r\n"), "\r\nCONNECT\r\n");
  port.send(pdu.substr(0, 3));
  EXPECT_EQ(port.read_for(100ms), "");
  port.send(pdu.substr(3));
  std::string stored = port.read_until(kOk);
  // The gateway takes 22 characters from the opening quote: the handle and both quotes.
  ASSERT_EQ(stored.rfind("\r\n+KPSW: \"", 0), 0u) << stored;
  std::string quoted = stored.substr(9, 22);
  EXPECT_EQ(stored, "\r\n+KPSW: " + quoted + "\r\n" + kOk);
  EXPECT_EQ(quoted.back(), '"');

  EXPECT_EQ(port.command("at+KPSSEND=" + quoted + "\r"), kOk);
  EXPECT_EQ(port.read_until(",0\r\n"), "\r\n+KPSSR: " + quoted + ",0\r\n");
  EXPECT_EQ(port.command("at+KPSD=" + quoted + "\r"), kOk);
  EXPECT_EQ(port.command("at+KPSD=" + quoted + "\r", "ERROR\r\n"), "\r\nERROR\r\n");

  auto mms = modem.mms();
  ASSERT_EQ(mms.size(), 1u);
  EXPECT_EQ(mms[0].pdu, pdu);
  EXPECT_EQ("\"" + mms[0].handle + "\"", quoted);
  EXPECT_TRUE(mms[0].submitted);
  EXPECT_TRUE(mms[0].deleted);
}

TEST_F(ModemSimTest, MmsFailureModes) {
  modem.configure([](ModemConfig& c) {
    c.mms.max_pdu_size = 10;
    c.mms.short_handle = true;
    c.mms.report_status = 1;
    c.mms.delete_ok = false;
    c.mms.data_timeout = 200ms;
  });
  echo_off();
  EXPECT_EQ(port.command("at+KPSW=\"MMS\",11\r", "ERROR\r\n"), "\r\nERROR\r\n");

  port.command("at+KPSW=\"MMS\",2\r", "CONNECT\r\n");
  port.send("ab");
  std::string stored = port.read_until(kOk);
  EXPECT_EQ(stored, "\r\n+KPSW: \"MMS00001\"\r\n" + kOk);
  EXPECT_EQ(port.command("at+KPSSEND=\"MMS00001\"\r"), kOk);
  EXPECT_EQ(port.read_until(",1\r\n"), "\r\n+KPSSR: \"MMS00001\",1\r\n");
  EXPECT_EQ(port.command("at+KPSD=\"MMS00001\"\r", "ERROR\r\n"), "\r\nERROR\r\n");

  // A transfer that stalls ends with ERROR and the modem takes commands again.
  port.command("at+KPSW=\"MMS\",5\r", "CONNECT\r\n");
  port.send("abc");
  EXPECT_EQ(port.read_until("ERROR\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(port.command("at\r"), kOk);

  modem.configure([](ModemConfig& c) { c.mms.supported = false; });
  EXPECT_EQ(port.command("at+KPSV?\r", "ERROR\r\n"), "\r\nERROR\r\n");
}

TEST_F(ModemSimTest, CallIsAnsweredAfterDelayAndEndedByTheCalledParty) {
  modem.configure([](ModemConfig& c) {
    c.call.answer_delay = 200ms;
    c.call.hang_up_after = 300ms;
  });
  echo_off();
  EXPECT_EQ(port.command("at+colp=1\r"), kOk);
  auto dialled = SimClock::now();
  EXPECT_EQ(port.command("atd+41791234567;\r"), "\r\n+COLP: \"+41791234567\",129\r\n" + kOk);
  EXPECT_GE(SimClock::now() - dialled, 190ms);
  EXPECT_EQ(port.read_until("NO CARRIER\r\n"), "\r\nNO CARRIER\r\n");
  EXPECT_GE(SimClock::now() - dialled, 490ms);

  // Hanging up first cancels the called party's NO CARRIER.
  port.command("atd123;\r");
  EXPECT_EQ(port.command("at+chup\r"), kOk);
  EXPECT_EQ(port.read_for(500ms), "");

  modem.configure([](ModemConfig& c) { c.call.outcome = CallOutcome::Busy; });
  EXPECT_EQ(port.command("atd456;\r", "BUSY\r\n"), "\r\nBUSY\r\n");
  ASSERT_EQ(modem.calls().size(), 3u);
  EXPECT_EQ(modem.calls()[1].number, "123");
}

TEST_F(ModemSimTest, PortCanBeReopenedAfterExclusiveUseAndModemKeepsState) {
  echo_off();
  ASSERT_EQ(::ioctl(port.fd(), TIOCEXCL), 0);
  port.close();

  // Once the simulator has seen the close, the exclusive flag is gone.
  bool cleared = false;
  for (int attempt = 0; attempt < 40 && !cleared; ++attempt) {
    std::this_thread::sleep_for(25ms);
    Port again(modem.slave_path());
    int exclusive = 1;
    cleared = again.is_open() && ::ioctl(again.fd(), TIOCGEXCL, &exclusive) == 0 && !exclusive;
  }
  EXPECT_TRUE(cleared);

  Port reopened(modem.slave_path());
  ASSERT_TRUE(reopened.is_open());
  EXPECT_EQ(reopened.command("AT\r"), kOk);  // echo is still off
}

TEST_F(ModemSimTest, RecordsCommandsInOrderAndWaitsForThem) {
  std::thread gateway([this] {
    std::this_thread::sleep_for(100ms);
    port.send("AT\rat+csq\rAT+CSQ\r");
  });
  auto second = modem.wait_for_command("AT+CSQ", 2000ms, 2);
  gateway.join();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->line, "AT+CSQ");
  EXPECT_EQ(modem.count_commands("at+csq"), 2u);

  auto commands = modem.commands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_LE(commands[0].at, commands[1].at);
  EXPECT_LE(commands[1].at, commands[2].at);

  // A wait for a command that never comes ends (ctest's limit catches one that does not).
  EXPECT_FALSE(modem.wait_for_command("AT+CMGS", 100ms).has_value());

  modem.clear_recording();
  EXPECT_TRUE(modem.commands().empty());
}

TEST_F(ModemSimTest, InjectsUnsolicitedOutputAndSurvivesOverlongLines) {
  echo_off();
  modem.inject_line("RING");
  EXPECT_EQ(port.read_until("RING\r\n"), "\r\nRING\r\n");

  modem.configure([](ModemConfig& c) {
    c.periodic_bytes = "\r\n+CREG: 1\r\n";
    c.periodic_interval = 100ms;
  });
  const std::string registered = "\r\n+CREG: 1\r\n";
  EXPECT_EQ(port.read_until(registered), registered);
  EXPECT_EQ(port.read_until(registered), registered);
  modem.configure([](ModemConfig& c) { c.periodic_interval = Millis{0}; });
  port.command("AT\r");  // takes any noise that came before its answer

  port.send("AT" + std::string(5000, 'X') + "\r");
  EXPECT_EQ(port.read_until("ERROR\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(port.command("AT\r"), kOk);
}

}  // namespace
}  // namespace qz::sim
