#include "modem/serial_port.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "modem/port_name.h"
#include "platform/linux/serial_rate_linux.h"
#include "platform/linux/serial_termios_linux.h"
#include "support/line_reader.h"
#include "support/test_clock.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Steady = std::chrono::steady_clock;

// A pseudo-terminal stands in for the modem's line: the gateway opens the slave by its
// path, the test plays the modem on the master.
class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    path_ = ttyname(slave_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    modem_reader_.emplace(master_);
  }
  void TearDown() override {
    if (master_ >= 0) close(master_);
    close(slave_);
  }

  termios slave_termios() const {
    termios t{};
    EXPECT_EQ(tcgetattr(slave_, &t), 0);
    return t;
  }

  speed_t slave_speed() const {
    termios t = slave_termios();
    return cfgetospeed(&t);
  }

  void modem_sends(const std::string& text) const {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  // What the gateway wrote, up to and including `end`.
  std::string modem_receives(std::string_view end) { return modem_reader_->read_until(end); }

  // Bytes from the master reach the slave's input queue a moment later.
  void wait_for_input(int bytes) const {
    auto until = Steady::now() + 2s;
    int queued = 0;
    while (Steady::now() < until && (ioctl(slave_, FIONREAD, &queued) != 0 || queued < bytes)) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_GE(queued, bytes);
  }

  std::string read_all(SerialPort& port, std::size_t size) const {
    std::string got;
    auto until = Steady::now() + 2s;
    while (got.size() < size && Steady::now() < until) {
      char buf[64];
      int n = port.Read(buf, static_cast<int>(std::min(sizeof buf, size - got.size())));
      if (n < 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  std::optional<test::LineReader> modem_reader_;
};

TEST(SerialPortClosedTest, OpenFailsWithTheSystemErrorAndTheClosedPortRefusesEverything) {
  struct Case {
    const char* device;
    uint32_t error;
  };
  const Case cases[] = {{"/nonexistent/ttyQZ0", ENOENT}, {"", ENOENT}, {"/dev/null", ENOTTY}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    SerialPort port(c.device);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.LastError(), c.error);
    EXPECT_FALSE(port.is_open());
    char byte = 'A';
    EXPECT_EQ(port.Read(&byte, 1), -1);
    EXPECT_EQ(port.Write(&byte, 1), -1);
    EXPECT_FALSE(port.Configure("96,N,8,1"));
    EXPECT_EQ(port.stored_settings().baud_rate, 0u);
    port.Purge();  // harmless on a closed port
  }
}

TEST(SerialPortNameTest, ComNamesMapToOnBoardUartsAndAnythingElseIsAPath) {
  EXPECT_EQ(device_path_for_port("COM1"), "/dev/ttyS0");
  EXPECT_EQ(device_path_for_port("COM2"), "/dev/ttyS1");
  EXPECT_EQ(device_path_for_port("com256"), "/dev/ttyS255");
  EXPECT_EQ(device_path_for_port("Com10:"), "/dev/ttyS9");
  EXPECT_EQ(device_path_for_port("\\\\.\\COM12"), "/dev/ttyS11");
  for (const char* path : {"COM0", "COM257", "COM02", "COM", "COM1x", "COM 1", "COM1000", "/dev/ttyUSB0",
                           "/dev/serial/by-id/usb-Modem_123-if00", "", "ttyS1"}) {
    EXPECT_EQ(device_path_for_port(path), path);
  }
}

TEST_F(SerialPortTest, OpenIsExclusiveAgainstASecondPortAndAProgramHoldingTheLock) {
  {
    SerialPort first(path_);
    ASSERT_EQ(first.Open(), 1);
    EXPECT_EQ(first.Open(), 1);  // a second Open of the same object changes nothing

    SerialPort second(path_);
    EXPECT_EQ(second.Open(), 0);
    EXPECT_EQ(second.LastError(), static_cast<uint32_t>(EBUSY));
  }
  // Gone with its owner: the device can be had again, unless another program locks it.
  int other = open(path_.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  SerialPort third(path_);
  EXPECT_EQ(third.Open(), 0);
  EXPECT_EQ(third.LastError(), static_cast<uint32_t>(EBUSY));
  close(other);
  EXPECT_EQ(third.Open(), 1);
}

TEST_F(SerialPortTest, OpenMakesTheLineRawSoBytesPassUnchangedBothWays) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);

  termios t = slave_termios();
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);

  // A modem's "\r\n" and a Ctrl-Z must arrive as sent; a cooked line would turn CR into NL,
  // echo the bytes back or wait for a line end.
  const std::string from_modem = "\r\nOK\r\n\x1a\x03\x00+CSQ"s;
  modem_sends(from_modem);
  EXPECT_EQ(read_all(port, from_modem.size()), from_modem);

  const std::string to_modem = "at+cmgs=\"123\"\r\n\x1a"s;
  ASSERT_EQ(port.Write(to_modem.data(), static_cast<int>(to_modem.size())),
            static_cast<int>(to_modem.size()));
  EXPECT_EQ(modem_receives("\x1a"), to_modem);
}

TEST_F(SerialPortTest, ConfigurePutsRateStopBitsParityKindAndHandshakeOnTheLine) {
  // A pseudo-terminal keeps 8 data bits and no parity whatever it is told, so those two
  // are checked on the mapping below and here only through the stored settings.
  struct Case {
    const char* mode;
    speed_t speed;
    tcflag_t cflag_set;
    tcflag_t cflag_clear;
    tcflag_t iflag_set;
    tcflag_t iflag_clear;
  };
  const Case cases[] = {
      {"96,N,8,1", B9600, 0, CSTOPB | PARODD | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
      {"COM1: 19,n,8,2", B19200, CSTOPB, PARODD | CRTSCTS, 0, IXON},
      {"115200,O,8,1,p", B115200, PARODD | CRTSCTS, CSTOPB | CMSPAR, 0, IXON},
      {"48,M,8,1,x", B4800, CMSPAR | PARODD, CSTOPB | CRTSCTS, IXON | IXOFF, 0},
      {"30,S,8,1", B300, CMSPAR, PARODD | CRTSCTS, 0, IXON},
      {"96,N,8,1", B9600, 0, CSTOPB | PARODD | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
  };
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_TRUE(port.Configure(c.mode));
    termios t = slave_termios();
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(cfgetispeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & c.cflag_set, c.cflag_set);
    EXPECT_EQ(t.c_cflag & c.cflag_clear, 0u);
    EXPECT_EQ(t.c_iflag & c.iflag_set, c.iflag_set);
    EXPECT_EQ(t.c_iflag & c.iflag_clear, 0u);
    // Still raw after a Configure.
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  }

  ASSERT_TRUE(port.Configure("24,E,7,1"));
  LineSettings stored = port.stored_settings();
  EXPECT_EQ(stored.baud_rate, 2400u);
  EXPECT_EQ(stored.data_bits, 7);
  EXPECT_EQ(stored.parity, Parity::Even);
  EXPECT_EQ(stored.stop_bits, StopBits::One);
  EXPECT_EQ(slave_speed(), B2400);
}

TEST_F(SerialPortTest, RefusedModeStringsLeaveLineAndStoredSettingsAlone) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  ASSERT_TRUE(port.Configure("19,O,8,2,p"));
  const termios before = slave_termios();
  const LineSettings stored = port.stored_settings();

  for (const char* mode : {"", "garbage", "96,N,9,1", "96,Q,8,1", ",,,", "0,N,8,1", "96,N,8,1,z"}) {
    SCOPED_TRACE(mode);
    EXPECT_FALSE(port.Configure(mode));
    termios after = slave_termios();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(port.stored_settings(), stored);
  }
}

TEST_F(SerialPortTest, RatesOutsideTheFixedSetGoThroughTheKernelOrAreRefused) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  ASSERT_TRUE(port.Configure("96,N,8,1"));
  if (!serial_rate::any_rate_supported()) {
    EXPECT_FALSE(port.Configure("14400,N,8,1"));
    EXPECT_EQ(slave_speed(), B9600);
    return;
  }
  ASSERT_TRUE(port.Configure("14400,N,8,2"));
  EXPECT_EQ(serial_rate::current_rate(slave_), std::optional<uint32_t>(14400));
  EXPECT_NE(slave_termios().c_cflag & CSTOPB, 0u);
  EXPECT_EQ(port.stored_settings().baud_rate, 14400u);

  // A refused string afterwards keeps the odd rate.
  EXPECT_FALSE(port.Configure("14400,N,8,7"));
  EXPECT_EQ(serial_rate::current_rate(slave_), std::optional<uint32_t>(14400));

  // And a fixed rate replaces it completely.
  ASSERT_TRUE(port.Configure("96,N,8,1"));
  EXPECT_EQ(slave_speed(), B9600);
  EXPECT_EQ(serial_rate::current_rate(slave_), std::optional<uint32_t>(9600));
}

TEST(SerialTermiosTest, FramingMapsToTheTermiosFlagsAndBack) {
  struct Case {
    LineSettings s;
    tcflag_t cflag;
  };
  const Case cases[] = {
      {{0, 8, Parity::None, StopBits::One, FlowControl::None}, CS8},
      {{0, 7, Parity::Even, StopBits::One, FlowControl::None}, CS7 | PARENB},
      {{0, 7, Parity::Odd, StopBits::Two, FlowControl::None}, CS7 | PARENB | PARODD | CSTOPB},
      {{0, 8, Parity::Mark, StopBits::One, FlowControl::None}, CS8 | PARENB | PARODD | CMSPAR},
      {{0, 6, Parity::Space, StopBits::One, FlowControl::None}, CS6 | PARENB | CMSPAR},
      {{0, 5, Parity::None, StopBits::OneAndHalf, FlowControl::None}, CS5 | CSTOPB},
      {{0, 8, Parity::None, StopBits::One, FlowControl::Hardware}, CS8 | CRTSCTS},
      {{0, 8, Parity::None, StopBits::One, FlowControl::XonXoff}, CS8},
  };
  const tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  for (const Case& c : cases) {
    // Start from the opposite of everything, so a flag left behind shows.
    termios t{};
    t.c_cflag = CS5 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    t.c_iflag = IXON | IXOFF | IXANY;
    if (c.s.data_bits == 5) t.c_cflag = (t.c_cflag & ~CSIZE) | CS8;
    ASSERT_TRUE(serial_termios::set_framing(t, c.s));
    EXPECT_EQ(t.c_cflag & framing, c.cflag) << c.s.data_bits;
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    bool xon = c.s.flow == FlowControl::XonXoff;
    EXPECT_EQ((t.c_iflag & IXON) != 0, xon);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, xon);
    EXPECT_EQ(t.c_iflag & IXANY, 0u);
    EXPECT_EQ(serial_termios::framing_of(t), c.s);
  }

  termios t{};
  t.c_cflag = CS8 | CLOCAL;
  const termios untouched = t;
  EXPECT_FALSE(serial_termios::set_framing(t, {0, 9, Parity::None, StopBits::One, FlowControl::None}));
  EXPECT_EQ(t.c_cflag, untouched.c_cflag);

}

TEST_F(SerialPortTest, ReadOfASilentLineReturnsNothingAfterTheTimeOut) {
  test::FastClock fast(10.0);
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  port.SetTimeouts(50);  // 500 gateway ms, 50 real ms at this speed

  char byte = 0;
  auto start = Steady::now();
  EXPECT_EQ(port.Read(&byte, 1), 0);
  auto waited = Steady::now() - start;
  EXPECT_GE(waited, 40ms);  // it did wait, rather than return at once
  EXPECT_LT(waited, 5s);
}

TEST_F(SerialPortTest, ReadEndsWhenTheLineFallsSilentAfterSomeBytes) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  port.SetTimeouts(10);  // 100 ms per byte asked for, 100 ms of silence ends the read
  modem_sends("OK\r");
  wait_for_input(3);

  char buf[100] = {};
  auto start = Steady::now();
  // Asking for 100 bytes could wait 10 s in all; the silence after the third ends it.
  EXPECT_EQ(port.Read(buf, 100), 3);
  EXPECT_LT(Steady::now() - start, 5s);
  EXPECT_EQ(std::string(buf, 3), "OK\r");
}

TEST_F(SerialPortTest, WriteGoesOutWhileAnotherThreadWaitsInRead) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  port.SetTimeouts(300);  // a one-byte read waits up to 3 s

  std::atomic<bool> reader_started{false};
  std::atomic<bool> reader_done{false};
  int read_result = -2;
  char got = 0;
  std::thread reader([&] {
    reader_started = true;
    read_result = port.Read(&got, 1);
    reader_done = true;
  });
  while (!reader_started) std::this_thread::yield();
  std::this_thread::sleep_for(50ms);

  auto start = Steady::now();
  EXPECT_EQ(port.Write("AT\r", 3), 3);
  EXPECT_LT(Steady::now() - start, 1s);
  EXPECT_FALSE(reader_done.load());
  EXPECT_EQ(modem_receives("\r"), "AT\r");

  modem_sends("0");
  reader.join();
  EXPECT_EQ(read_result, 1);
  EXPECT_EQ(got, '0');
}

TEST_F(SerialPortTest, PurgeDiscardsInputThatWasWaiting) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  port.SetTimeouts(2);
  modem_sends("stale reply");
  wait_for_input(11);

  port.Purge();
  char buf[32];
  EXPECT_EQ(port.Read(buf, 1), 0);

  modem_sends("OK");
  EXPECT_EQ(read_all(port, 2), "OK");
}

TEST_F(SerialPortTest, AHungUpLineIsAnErrorNotAnEndlessRunOfTimeOuts) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  port.SetTimeouts(300);  // 3 s per byte: a hang-up taken for silence would show as 0
  close(master_);         // the modem is unplugged
  master_ = -1;

  char buf[4] = {};
  auto start = Steady::now();
  EXPECT_EQ(port.Read(buf, 4), -1);
  EXPECT_LT(Steady::now() - start, 2s);
  EXPECT_EQ(port.Write("AT\r", 3), -1);
  EXPECT_NE(port.LastError(), 0u);
}

TEST_F(SerialPortTest, WriteToALineThatTakesNothingEndsAtTheTimeOutWithWhatWentOut) {
  test::FastClock fast(10000.0);
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  port.SetTimeouts(1);  // 10 ms per byte + 10 ms: 4 000 s in all for 400 000 bytes, 0.4 s here

  // The master never reads, so the pseudo-terminal's buffer fills up and stays full.
  std::vector<char> block(400000, 'x');
  auto start = Steady::now();
  int written = port.Write(block.data(), static_cast<int>(block.size()));
  EXPECT_LT(Steady::now() - start, 10s);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(block.size()));
}

TEST_F(SerialPortTest, NonsenseArgumentsGetAClearAnswer) {
  SerialPort port(path_);
  ASSERT_EQ(port.Open(), 1);
  char buf[4];
  EXPECT_EQ(port.Read(buf, 0), 0);
  EXPECT_EQ(port.Write(buf, 0), 0);
  EXPECT_EQ(port.Read(buf, -1), -1);
  EXPECT_EQ(port.Write(buf, -5), -1);
  EXPECT_EQ(port.Read(nullptr, 4), -1);
  EXPECT_EQ(port.Write(nullptr, 4), -1);

  // A negative unit means no time-out, like 0; the read then waits for the byte.
  port.SetTimeouts(-7);
  modem_sends("Z");
  EXPECT_EQ(port.Read(buf, 1), 1);
  EXPECT_EQ(buf[0], 'Z');
}

}  // namespace
}  // namespace qz
