// A modem that goes away and comes back: the gateway raises its technical alarm, tries the
// port meanwhile, and when the modem answers again, starts it again and sends what came
// in while it was gone, once. A stop still ends the wait at once.
#include <gtest/gtest.h>

#include <functional>

#include "e2e/e2e_support.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::accepted_texts;
using test::eventually;
using test::files_in;
using test::GatewayInstance;
using test::GatewayTest;
using test::sms_job;

class ModemReturnTest : public GatewayTest {};

// Slow enough that the test sees the modem gone well within the gateway's wait for it.
constexpr double kSpeedup = 5;

bool logged(const GatewayInstance& gw, const std::string& text) {
  return gw.daily_log().find(text) != std::string::npos;
}

TEST_F(ModemReturnTest, WhatCameInWhileTheModemWasGoneIsSentOnceWhenItAnswersAgain) {
  struct Row {
    std::string name;
    bool port_missing_at_start;  // else the modem falls silent while the gateway runs
  };
  for (const Row& row : std::vector<Row>{{"silent while running", false}, {"unplugged at start", true}}) {
    SCOPED_TRACE(row.name);
    GatewayInstance gw;
    const fs::path link = gw.folder / "ttyModem";
    // Many slow tries: only the modem's return, not a retry delay, may let the job go.
    gw.write_settings("Port=" + link.string() + "\nQualityPollEverySecs=5\nRetryCount=5\nRetryDelay=600\n");
    if (!row.port_missing_at_start) fs::create_symlink(gw.modem.slave_path(), link);
    gw.start(kSpeedup);
    if (row.port_missing_at_start) {
      gw.drop_job("gone.sms", sms_job("+41791234567", "while gone", 0));
      ASSERT_TRUE(eventually([&] { return logged(gw, "cannot open"); }));
    } else {
      ASSERT_TRUE(eventually([&] { return logged(gw, "SignalThread started"); }));
      gw.modem.set_silent(true);
      gw.drop_job("gone.sms", sms_job("+41791234567", "while gone", 0));
      ASSERT_TRUE(eventually([&] { return logged(gw, "Signal lost"); }, std::chrono::seconds(60)));
      gw.modem.set_silent(false);
    }
    if (row.port_missing_at_start) fs::create_symlink(gw.modem.slave_path(), link);

    ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }, std::chrono::seconds(60)));
    EXPECT_EQ(accepted_texts(gw.modem), (std::map<std::string, int>{{"while gone", 1}}));
    EXPECT_TRUE(files_in(gw.error()).empty());
    EXPECT_EQ(gw.stop(), 0);
    if (HasFailure()) std::cout << "---- daily log ----\n" << gw.daily_log();
  }
}

TEST_F(ModemReturnTest, AStopEndsTheWaitForTheModem) {
  gw.write_settings("QualityPollEverySecs=5\n");
  gw.start(kSpeedup);
  ASSERT_TRUE(eventually([&] { return logged(gw, "SignalThread started"); }));
  gw.modem.set_silent(true);
  ASSERT_TRUE(eventually([&] { return logged(gw, "Signal lost"); }, std::chrono::seconds(60)));
  EXPECT_EQ(gw.stop(), 0);
}

}  // namespace
}  // namespace qz
