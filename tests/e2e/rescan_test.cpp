// A job file is read again at every scan of the watch folder for as long as its job waits
// in the job table. The report may file it and free its slot between such a read and the
// reader's look at the table; the file must then count as filed, never as a new job.
#include <gtest/gtest.h>

#include <iostream>
#include <map>

#include "e2e/e2e_support.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using test::files_in;

TEST(RescanWhileFiling, AJobFiledWhileItsFileIsReadAgainIsSentOnce) {
  test::GatewayInstance gw;
  gw.write_settings("RetryCount=1\n");
  // Alarm texts looked up by key at the end of a long QZAMSG.INI: every read of a keyed
  // job takes a while, which leaves the report time to file the job in the middle of it.
  std::string texts = "[Messages]\r\n";
  for (int i = 0; i < 150000; ++i) texts += "X" + std::to_string(i) + "=an alarm text nobody raises today " + std::to_string(i) + "\r\n";
  for (int i = 0; i < 40; ++i) texts += "K" + std::to_string(i) + "=Pump " + std::to_string(i) + " failed\r\n";
  test::write_file(gw.folder / "QZAMSG.INI", texts);
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 20ms; });
  // Modem waits well above a slow build's pace: a reply that came late would fail the
  // one try, and this is about reading, not about a slow modem.
  gw.start(10.0);

  // One after another, so that each new file makes the reader scan (and read again) the
  // jobs that are being sent and reported.
  for (int i = 0; i < 40; ++i) {
    gw.drop_job("k" + std::to_string(100 + i) + ".sms", "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=+4179111" +
                                                           std::to_string(1000 + i) + "\r\nAlarmKey=K" +
                                                           std::to_string(i) + "\r\ndbentry=0\r\n");
    std::this_thread::sleep_for(30ms);
  }
  ASSERT_TRUE(test::eventually([&] { return files_in(gw.watch()).empty(); }, 120s));
  EXPECT_EQ(gw.stop(), 0);

  std::map<std::string, int> sends;
  for (const auto& sms : gw.modem.sms()) sends[sms.number] += sms.accepted ? 1 : 0;
  EXPECT_EQ(sends.size(), 40u);
  for (const auto& [number, count] : sends) EXPECT_EQ(count, 1) << number;
  EXPECT_EQ(files_in(gw.done()).size(), 40u);
  if (::testing::Test::HasFailure()) std::cout << "---- daily log ----\n" << gw.daily_log();
}

}  // namespace
}  // namespace qz
