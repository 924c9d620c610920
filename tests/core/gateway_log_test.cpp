#include "core/gateway_log.h"

#include "core/files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "support/temp_folder.h"
#include "support/test_clock.h"

namespace qz {
namespace {

using test::read_file;
using test::TempFolder;

struct CountingSink : WindowSink {
  std::atomic<int> log_lines{0};
  void notify(int number) override {
    if (number == kNotifyLogLine) ++log_lines;
  }
};

class GatewayLogTest : public ::testing::Test {
 protected:
  GatewayLogTest() : log(folder.path()) { std::filesystem::create_directory(folder / "log"); }
  TempFolder folder;
  test::FixedWallClock wall;
  GatewayLog log;
  CountingSink sink;
};

TEST_F(GatewayLogTest, DailyLineHasTimeOfDayAndLandsInFileOfItsDay) {
  wall.set_local(2024, 3, 5, 8, 7, 9);
  log.WriteDailyLog("sent");
  // The line end of the system's text files: CR LF on Windows.
  const std::string end(text_line_end());
  EXPECT_EQ(read_file(folder / "log/gsms_20240305.log"), "08:07:09 sent" + end);

  wall.set_local(2024, 3, 5, 23, 59, 59);
  log.WriteDailyLog("late");
  wall.set_local(2024, 3, 6, 0, 0, 1);
  log.WriteDailyLog("early");
  EXPECT_EQ(read_file(folder / "log/gsms_20240305.log"), "08:07:09 sent" + end + "23:59:59 late" + end);
  EXPECT_EQ(read_file(folder / "log/gsms_20240306.log"), "00:00:01 early" + end);
}

TEST_F(GatewayLogTest, WithoutLogFolderNothingIsWrittenAndNothingCreated) {
  std::filesystem::remove(folder / "log");
  log.WriteDailyLog("lost");
  EXPECT_FALSE(std::filesystem::exists(folder / "log"));
}

TEST_F(GatewayLogTest, WindowLinesAreDatedWithOptionalPrefix) {
  log.PostWindowLine(nullptr, "before any window", kBlack);
  EXPECT_FALSE(log.take_pending_line().has_value());

  log.register_window(&sink);
  wall.set_local(2024, 3, 5, 8, 7, 9);
  log.PostWindowLine("JOB1", "sent", kGreen);
  log.PostWindowLine(nullptr, "sent", kRed);

  auto first = log.take_pending_line();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->text, "05.03.2024 08:07:09 JOB1 sent");
  EXPECT_EQ(first->color, kGreen);
  auto second = log.take_pending_line();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->text, "05.03.2024 08:07:09 sent");
  EXPECT_EQ(second->color, kRed);
  EXPECT_FALSE(log.take_pending_line().has_value());
  EXPECT_EQ(sink.log_lines, 2);
}

// Senders, job files and the modem write what they like: whatever it is, one call makes
// one line in the daily log and in the window, and nothing starts a line of its own.
TEST_F(GatewayLogTest, ControlCharactersAreShownEscapedSoOneCallIsOneLine) {
  struct Case {
    std::string text;
    const char* shown;
  };
  const Case cases[] = {
      {"ack\r\n12:00:00 forged", "ack\\r\\n12:00:00 forged"},
      {"x\n<3>alarm", "x\\n<3>alarm"},
      {"\x1b[31mred\x1b[0m", "\\x1B[31mred\\x1B[0m"},
      {std::string("nul\0bell\x07" "del\x7f" "tab\t", 17), "nul\\x00bell\\x07del\\x7Ftab\\t"},
      {"C:\\alarms\\J1.job \xc3\xa4 <6>", "C:\\alarms\\J1.job \xc3\xa4 <6>"},
  };
  log.register_window(&sink);
  wall.set_local(2024, 3, 5, 8, 7, 9);
  std::string expected_daily;
  for (const Case& c : cases) {
    log.Log(c.text, kBlue);
    expected_daily += std::string("08:07:09 ") + c.shown + std::string(text_line_end());
    EXPECT_EQ(log.take_pending_line()->text, std::string("05.03.2024 08:07:09 ") + c.shown) << c.shown;
  }
  EXPECT_EQ(read_file(folder / "log/gsms_20240305.log"), expected_daily);

  log.PostWindowLine("J\n1", "sent", kGreen);
  EXPECT_EQ(log.take_pending_line()->text, "05.03.2024 08:07:09 J\\n1 sent");
}

TEST_F(GatewayLogTest, ThirtyThirdWaitingLineIsDroppedAndFreedSlotsAreReused) {
  log.register_window(&sink);
  for (int i = 1; i <= 33; ++i) log.PostWindowLine(nullptr, "line " + std::to_string(i), kBlack);
  EXPECT_EQ(sink.log_lines, 32);

  std::vector<std::string> shown;
  while (auto line = log.take_pending_line()) shown.push_back(line->text);
  ASSERT_EQ(shown.size(), 32u);
  EXPECT_NE(shown.back().find("line 32"), std::string::npos);

  // Lowest free slot first: a line posted after the window took slot 0 comes out first.
  log.PostWindowLine(nullptr, "a", kBlack);
  log.PostWindowLine(nullptr, "b", kBlack);
  ASSERT_TRUE(log.take_pending_line().has_value());
  log.PostWindowLine(nullptr, "c", kBlack);
  EXPECT_NE(log.take_pending_line()->text.find(" c"), std::string::npos);
  EXPECT_NE(log.take_pending_line()->text.find(" b"), std::string::npos);
}

TEST_F(GatewayLogTest, LongWindowLineIsCutTo255Characters) {
  log.register_window(&sink);
  log.PostWindowLine(nullptr, std::string(1000, 'x'), kBlack);
  EXPECT_EQ(log.take_pending_line()->text.size(), 255u);
}

TEST_F(GatewayLogTest, ConcurrentWritersNeverMixInsideALine) {
  constexpr int kThreads = 8, kLines = 300;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([this, t] {
      std::string body(200, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) log.WriteDailyLog(body);
    });
  }
  for (auto& w : writers) w.join();

  std::istringstream in(read_file(folder / "log" / [&] {
    char name[40];
    LocalTime t = local_time(wall.now());
    std::snprintf(name, sizeof name, "gsms_%04d%02d%02d.log", t.year, t.month, t.day);
    return std::string(name);
  }()));
  int count = 0;
  for (std::string line; std::getline(in, line); ++count) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ASSERT_EQ(line.size(), 9u + 200u);
    std::string body = line.substr(9);
    EXPECT_EQ(body, std::string(200, body[0]));
  }
  EXPECT_EQ(count, kThreads * kLines);
}

TEST_F(GatewayLogTest, TraceRunsOnlyWhileTheTraceFileExists) {
  log.TraceByte('x');
  EXPECT_FALSE(std::filesystem::exists(folder / "qzgsms.log"));

  test::write_file(folder / "qzgsms.log", "");
  log.TraceByte('O');
  log.TraceByte('K');
  log.TraceByte(0);
  EXPECT_EQ(read_file(folder / "qzgsms.log"), std::string("OK\0", 3));

  std::filesystem::remove(folder / "qzgsms.log");
  log.TraceByte('!');
  EXPECT_FALSE(std::filesystem::exists(folder / "qzgsms.log"));
}

}  // namespace
}  // namespace qz
