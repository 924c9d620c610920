// qzgsmsd under a service manager, as systemd runs it: notifications on a real datagram
// socket (NOTIFY_SOCKET, WATCHDOG_USEC) and priorities on a standard output that is the
// journal (JOURNAL_STREAM).
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_support.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::read_file;
using test::sms_job;

// Environment variables for the gateway started meanwhile, which inherits them.
struct ScopedEnvironment {
  explicit ScopedEnvironment(std::vector<std::pair<std::string, std::string>> set) : vars(std::move(set)) {
    for (const auto& [name, value] : vars) ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    for (const auto& var : vars) ::unsetenv(var.first.c_str());
  }
  std::vector<std::pair<std::string, std::string>> vars;
};

// The service manager's end: a datagram socket, read at once as systemd reads it (a full
// socket would hold the sender up), each datagram cut into its lines.
class NotifySocket {
 public:
  explicit NotifySocket(const std::filesystem::path& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      throw std::runtime_error("cannot open the notify socket");
    }
    reader_ = std::thread([this] { read_until_closed(); });
  }
  ~NotifySocket() {
    stop_ = true;
    reader_.join();
    ::close(fd_);
  }
  const std::filesystem::path& path() const { return path_; }

  // Every line received so far, in order.
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  long count(const std::string& line) const { return count_between(line, 0, -1); }
  // The index of the first line that starts with `start` and holds `part`; -1 when none.
  long find(const std::string& start, const std::string& part = "") const {
    const auto all = lines();
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (all[i].rfind(start, 0) == 0 && all[i].find(part) != std::string::npos) return static_cast<long>(i);
    }
    return -1;
  }
  // How often `line` came from index `from` up to `to` (-1: the end).
  long count_between(const std::string& line, long from, long to) const {
    const auto all = lines();
    return std::count(all.begin() + from, to < 0 ? all.end() : all.begin() + to, line);
  }

 private:
  void read_until_closed() {
    char datagram[4096];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      ssize_t n = ::recv(fd_, datagram, sizeof datagram, 0);
      if (n <= 0) continue;
      std::string text(datagram, static_cast<std::size_t>(n));
      std::lock_guard lock(mutex_);
      for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        lines_.push_back(text.substr(at, end - at));
      }
    }
  }

  std::filesystem::path path_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread reader_;
};

class ServiceManagerTest : public test::GatewayTest {
 protected:
  void start_notifying() {
    // Pings every quarter second: many chances to ping wrongly in the waits below.
    ScopedEnvironment env({{"NOTIFY_SOCKET", manager.path().string()}, {"WATCHDOG_USEC", "500000"}});
    gw.start(10.0);
  }
  test::TempFolder sockets;
  NotifySocket manager{sockets / "notify"};
};

// A call holds the modem for longer than a worker may work without a mark; the signal
// monitor waiting for the modem meanwhile is not stuck.
TEST_F(ServiceManagerTest, ReadyPingsThroughALongCallAndStopping) {
  gw.write_settings("VoiceCallDuration=100\nQualityPollEverySecs=1\n");
  start_notifying();
  ASSERT_TRUE(eventually([&] { return manager.count("READY=1") == 1; }, 60s)) << "READY=1 after the start";
  gw.drop_job("call.sms", sms_job("0791234567", "pump failed", 0, "plant", "VC"));
  ASSERT_TRUE(gw.modem.wait_for_command("ATD", 60s));
  ASSERT_TRUE(eventually([&] { return manager.find("STATUS=", "1 job in progress") >= 0; }, 60s));
  ASSERT_TRUE(gw.modem.wait_for_command("AT+CHUP", 120s)) << "the hold ends";
  // The signal monitor reads the signal once the call has let go of the modem.
  ASSERT_TRUE(eventually([&] { return manager.find("STATUS=Signal 20/31, registered, ") >= 0; }, 60s));

  EXPECT_EQ(gw.stop(), 0);
  const long ready = manager.find("READY=1");
  const long stopping = manager.find("STOPPING=1");
  ASSERT_GT(stopping, ready) << "STOPPING=1 at the stop";
  EXPECT_EQ(manager.find("STATUS=Stuck"), -1);
  EXPECT_GE(manager.count_between("WATCHDOG=1", ready, stopping), 3) << "pings while running";
  EXPECT_EQ(manager.count("READY=1"), 1);
}

// A watchdog of a microsecond once had the main loop ping without pause, thousands of
// times a second: pings come at most a few times a second, whatever WatchdogSec says.
TEST_F(ServiceManagerTest, ATinyWatchdogIntervalPingsAFewTimesASecond) {
  gw.write_settings();
  const auto started = std::chrono::steady_clock::now();
  {
    ScopedEnvironment env({{"NOTIFY_SOCKET", manager.path().string()}, {"WATCHDOG_USEC", "1"}});
    gw.start(10.0);
  }
  ASSERT_TRUE(eventually([&] { return manager.count("READY=1") == 1; }, 60s));
  ASSERT_TRUE(eventually([&] { return manager.count("WATCHDOG=1") >= 2; }, 60s));
  EXPECT_EQ(gw.stop(), 0);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // A bound that a busy machine only makes easier to keep: ten a second at most.
  EXPECT_LE(manager.count("WATCHDOG=1"), static_cast<long>(10 * seconds) + 10);
}

std::string daily_log_name(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char name[40];
  std::strftime(name, sizeof name, "gsms_%Y%m%d.log", &local);
  return name;
}

// A worker stuck in the system: the daily log is a named pipe whose reader has gone away,
// so the job reader's next log line waits in open() for a reader that never comes.
TEST_F(ServiceManagerTest, AStuckWorkerStopsThePings) {
  gw.write_settings();
  std::vector<int> readers;
  const std::time_t now = std::time(nullptr);
  // Today's and tomorrow's, in case the fast clock passes midnight.
  for (std::time_t day : {now, now + 24 * 3600}) {
    std::filesystem::path fifo = gw.folder / "log" / daily_log_name(day);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    readers.push_back(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  }
  start_notifying();
  ASSERT_TRUE(eventually([&] { return manager.count("READY=1") == 1; }, 60s));
  ASSERT_TRUE(eventually([&] { return manager.count("WATCHDOG=1") >= 2; }, 60s)) << "healthy at first";

  for (int reader : readers) ::close(reader);
  gw.drop_job("a.sms", sms_job("555", "pump failed", 0, ""));
  ASSERT_TRUE(eventually([&] { return manager.find("STATUS=Stuck: ", "ReadJobsThread") >= 0; }, 120s));
  // Many ping periods for a wrong ping to arrive, before the stop says where to look.
  std::this_thread::sleep_for(3s);
  gw.stop({SIGTERM}, 3s);  // the stop's own log line waits for the pipe too: killed then

  const long stuck = manager.find("STATUS=Stuck: ", "ReadJobsThread");
  const long stopping = manager.find("STOPPING=1");
  ASSERT_GT(stopping, stuck) << "the main loop still answers";
  EXPECT_EQ(manager.count_between("WATCHDOG=1", stuck, stopping), 0) << "no ping once a worker is stuck";
  EXPECT_NE(read_file(gw.output_file()).find("ReadJobsThread shows no progress"), std::string::npos);
}

struct JournalCase {
  const char* name;
  bool matching_stream;  // JOURNAL_STREAM names the file standard output goes to
};
void PrintTo(const JournalCase& c, std::ostream* out) { *out << c.name; }

class JournalPrioritiesTest : public test::GatewayTest, public ::testing::WithParamInterface<JournalCase> {};

TEST_P(JournalPrioritiesTest, EachLineCarriesItsPriorityOnlyInTheJournal) {
  gw.write_settings();
  test::write_file(gw.output_file(), "");
  struct stat out{};
  ASSERT_EQ(::stat(gw.output_file().c_str(), &out), 0);
  const std::string stream = GetParam().matching_stream
                                 ? std::to_string(out.st_dev) + ":" + std::to_string(out.st_ino)
                                 : std::to_string(out.st_dev) + ":" + std::to_string(out.st_ino + 1);
  {
    ScopedEnvironment env({{"JOURNAL_STREAM", stream}});
    gw.start();
  }
  gw.drop_job("bad.sms", sms_job("", "no number", 0));
  gw.drop_job("good.sms", sms_job("555", "pump failed", 0, ""));
  ASSERT_TRUE(eventually([&] { return test::files_in(gw.done()).size() == 1; }, 60s));
  ASSERT_TRUE(eventually([&] { return test::files_in(gw.error()).size() == 1; }, 60s));
  ASSERT_EQ(gw.stop(), 0);

  const std::string all = read_file(gw.output_file());
  // What the first line holding `text` begins with: its priority, or the date.
  auto prefix_of = [&](const std::string& text) -> std::string {
    std::size_t at = all.find(text);
    if (at == std::string::npos) return "missing";
    std::size_t start = all.rfind('\n', at) + 1;  // npos + 1: the first line
    return all[start] == '<' ? all.substr(start, 3) : "";
  };
  const std::string bad_reason = "Bad request " + (gw.watch() / "bad.sms").string() + ":";
  const struct {
    std::string text;
    const char* journal_prefix;
  } kinds[] = {
      {"ReportThread started", "<6>"},  // blue
      {"Message sent to 555", "<6>"},   // green
      {bad_reason, "<3>"},              // red: the file and why it is refused
      {"Bad request !", "<6>"},         // blue, as the window shows it
      {"Stopped", "<6>"},               // the last line
  };
  for (const auto& kind : kinds) {
    EXPECT_EQ(prefix_of(kind.text), GetParam().matching_stream ? kind.journal_prefix : "") << kind.text << "\n" << all;
  }
  EXPECT_EQ(all.find('\033'), std::string::npos) << "no terminal colours";
}

INSTANTIATE_TEST_SUITE_P(Streams, JournalPrioritiesTest,
                         ::testing::Values(JournalCase{"Journal", true}, JournalCase{"OtherStream", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qz
