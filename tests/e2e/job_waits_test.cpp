// The job threads sleep until there is work: a job dropped while a retry is pending goes
// out at once, the retry still keeps its delay, and a stop ends every idle wait at once.
// Times are read from the gateway's own log stamps, never from the wall clock.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e/e2e_support.h"

namespace qz {
namespace {

using test::eventually;
using test::files_in;
using test::GatewayTest;
using test::sms_job;

class JobWaitsTest : public GatewayTest {};

// Seconds of the day of the first log line that holds `text`; -1 when none does.
int logged_at(const std::string& log, const std::string& text) {
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > 9 && line.find(text) != std::string::npos) {
      return std::stoi(line.substr(0, 2)) * 3600 + std::stoi(line.substr(3, 2)) * 60 + std::stoi(line.substr(6, 2));
    }
  }
  return -1;
}

TEST_F(JobWaitsTest, AJobDroppedWhileARetryWaitsGoesFirstAndTheRetryKeepsItsDelay) {
  constexpr int kRetryDelay = 30;
  gw.write_settings("RetryDelay=" + std::to_string(kRetryDelay) + "\n");
  gw.modem.configure([](sim::ModemConfig& c) {
    c.sms.failure = sim::SmsFailure::Error;
    c.sms.times = 1;
  });
  gw.start();
  gw.drop_job("first.sms", sms_job("111", "first", 0));
  ASSERT_TRUE(eventually([&] { return logged_at(gw.daily_log(), "ERROR sending to 111 (try 1/2)") >= 0; }));
  gw.drop_job("second.sms", sms_job("222", "second", 1));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2; }));
  const auto sms = gw.modem.sms();
  ASSERT_EQ(sms.size(), 3u);
  EXPECT_EQ(sms[1].text, "second") << "the new job waits for nobody's retry";
  EXPECT_EQ(sms[2].text, "first");
  const std::string log = gw.daily_log();
  const int failed_at = logged_at(log, "ERROR sending to 111 (try 1/2)");
  const int retried_at = logged_at(log, "Message sent to 111");
  // Stamps are whole seconds; a retry across midnight is not expected in a test run.
  EXPECT_GE(retried_at - failed_at, kRetryDelay - 1);
}

TEST_F(JobWaitsTest, AStopEndsTheIdleWaitsAtOnce) {
  gw.write_settings();
  // On the world's clock every idle wait lasts far longer than the stop may take.
  gw.start(1.0);
  gw.drop_job("one.sms", sms_job("111", "one", 0));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }, std::chrono::seconds(60)));
  EXPECT_EQ(gw.stop({SIGTERM}, std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace qz
