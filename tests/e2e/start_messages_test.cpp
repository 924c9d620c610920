// What the real gateway says when its modem's port cannot be had: the system's reason after
// the code, a port in use said to be in use, and when and how the process will end.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/version.h"
#include "e2e/e2e_support.h"
#include "support/run_program.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using test::run_program;

// Standard output's window lines without their date and time, from the line that starts
// with `first` on.
std::vector<std::string> window_from(const std::string& out, const std::string& first) {
  std::vector<std::string> texts;
  std::size_t at = 0;
  while (at < out.size()) {
    std::size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(at, end - at);
    at = end + 1;
    std::string text = line.size() > 20 ? line.substr(20) : line;
    if (texts.empty() && text.rfind(first, 0) != 0) continue;
    texts.push_back(text);
  }
  return texts;
}

const std::string kAlarmNotStarted =
    "Could not start qzarun.cmd 8999 for the technical alarm: No such file or directory; the next technical "
    "alarm tries again";
const std::string kEndsIn60s = "The gateway ends in 60 s with exit code 1, for its supervisor to start it again";

TEST(StartMessages, AMissingDeviceIsSaidInWordsAndTheEndIsAnnounced) {
  test::GatewayInstance gw;
  const std::string device = (gw.folder / "ttyUSB9").string();
  gw.write_settings("Port=" + device + "\n");
  test::ProgramRun run = run_program({QZGSMS_FAST_GATEWAY, "50"}, {gw.folder.path()});
  EXPECT_EQ(run.exit_code, 1);
  const std::string error = "** init_gsms ** ERROR: cannot open " + device + " (0x00000002): No such file or directory";
  EXPECT_EQ(window_from(run.out, "** init_gsms **"), (std::vector<std::string>{error, kAlarmNotStarted, kEndsIn60s}))
      << run.out;
  // The start-up block came first, on standard output and in the daily log.
  EXPECT_EQ(window_from(run.out, "qzgsms ").front(),
            "qzgsms " + std::string(qzgsms_version()) + ", instance folder " + gw.folder.path().string());
  std::string daily = gw.daily_log();
  EXPECT_NE(daily.find(error), std::string::npos);
  EXPECT_NE(daily.find(kEndsIn60s), std::string::npos);
}

TEST(StartMessages, APortHeldByAnotherProgramIsSaidToBeInUse) {
  test::GatewayInstance gw;
  gw.write_settings();
  // As a terminal program or ModemManager holds a port: exclusive, and locked.
  int held = ::open(gw.modem.slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::ioctl(held, TIOCEXCL), 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  test::ProgramRun run = run_program({QZGSMS_FAST_GATEWAY, "50"}, {gw.folder.path()});
  ::ioctl(held, TIOCNXCL);
  ::close(held);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(window_from(run.out, "** init_gsms **"),
            (std::vector<std::string>{"** init_gsms ** ERROR: cannot open " + gw.modem.slave_path() +
                                          " (0x00000010): Device or resource busy: in use by another program or "
                                          "gateway instance",
                                      kAlarmNotStarted, kEndsIn60s}))
      << run.out;
}

}  // namespace
}  // namespace qz
