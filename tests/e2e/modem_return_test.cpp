// A modem that goes away and comes back: the gateway raises its technical alarm, tries the
// port meanwhile, and when the modem answers again, starts it again and sends what came
// in while it was gone, once. A stop still ends the wait at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "core/settings.h"
#include "e2e/e2e_support.h"
#include "support/run_program.h"

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

// A USB modem gone for a few seconds: its port fails at once, the status says so at once,
// and the port is opened again as soon as the device is back, before any technical alarm;
// what came in meanwhile goes out then. No signal poll comes in between to notice it.
TEST_F(ModemReturnTest, AModemUnpluggedForAFewSecondsIsOpenedAgainWithoutAnAlarm) {
  const fs::path link = gw.folder / "ttyModem";
  gw.modem.set_link(link.string());
  gw.write_settings("Port=" + link.string() + "\nRetryCount=5\nRetryDelay=600\n");
  test::write_file(gw.folder / "qzarun.cmd", "#!/bin/sh\necho \"$1\" >> alarm-ran\n");
  fs::permissions(gw.folder / "qzarun.cmd", fs::perms(0755));
  auto status = [&] { return test::run_program({QZGSMS_QZGSMSD, "--status", "--instance", gw.folder.path().string()}); };
  gw.start(kSpeedup);
  ASSERT_TRUE(eventually([&] { return logged(gw, "SignalThread started"); }));

  gw.modem.vanish();
  ASSERT_TRUE(eventually([&] {
    test::ProgramRun run = status();
    return run.exit_code == 2 && run.out.find("modem down") != std::string::npos;
  }));
  gw.drop_job("gone.sms", sms_job("+41791234567", "while gone", 0));
  gw.modem.come_back();

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }, std::chrono::seconds(60)));
  EXPECT_EQ(accepted_texts(gw.modem), (std::map<std::string, int>{{"while gone", 1}}));
  EXPECT_TRUE(eventually([&] { return status().out.find("modem up") != std::string::npos; }));
  EXPECT_FALSE(fs::exists(gw.folder / "alarm-ran")) << "no technical alarm";
  EXPECT_EQ(gw.stop(), 0);
}

TEST_F(ModemReturnTest, AStopEndsTheWaitForTheModem) {
  gw.write_settings("QualityPollEverySecs=5\n");
  gw.start(kSpeedup);
  ASSERT_TRUE(eventually([&] { return logged(gw, "SignalThread started"); }));
  gw.modem.set_silent(true);
  ASSERT_TRUE(eventually([&] { return logged(gw, "Signal lost"); }, std::chrono::seconds(60)));
  EXPECT_EQ(gw.stop(), 0);
}

// A modem that answers but never registers (SIM blocked, no antenna) fails every start, and
// the restarted gateway never raised the technical alarm that exists to say so. The
// failures in a row are remembered across restarts in [WatchDog]; after several minutes of
// them the alarm goes out.
TEST(NoNetworkTest, TheAlarmComesOnceRegistrationHasFailedForMinutesOverRestarts) {
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count();
  auto stamp = [](int64_t t) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(t));
    return std::string(text);
  };
  struct Case {
    const char* what;
    std::string since, last;  // [WatchDog] as earlier starts left it
    bool registers;
    bool alarm;
  } cases[] = {
      {"the first failure", "", "", false, false},
      {"failing for six minutes", stamp(now - 360), stamp(now - 60), false, true},
      {"an old row, then a pause", stamp(now - 3600), stamp(now - 1800), false, false},
      {"registered again", stamp(now - 360), stamp(now - 60), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GatewayInstance gw;
    gw.write_settings();
    const std::string settings = test::read_file(gw.folder / "QZGSMS.INI");
    test::write_file(gw.folder / "QZGSMS.INI",
                     settings + "[WatchDog]\nNoNetworkSince=" + c.since + "\nNoNetworkLast=" + c.last + "\n");
    test::write_file(gw.folder / "qzarun.cmd", "#!/bin/sh\necho \"$1\" >> alarm-ran\n");
    fs::permissions(gw.folder / "qzarun.cmd", fs::perms(0755));
    if (c.registers) {
      gw.start();
      ASSERT_TRUE(eventually([&] { return logged(gw, "SignalThread started"); }));
      EXPECT_EQ(gw.stop(), 0);
    } else {
      gw.modem.configure([](sim::ModemConfig& config) { config.network = sim::NetworkMode::NoAnswer; });
      EXPECT_EQ(test::run_program({QZGSMS_FAST_GATEWAY, "50"}, {gw.folder.path()}).exit_code, 1);
    }
    EXPECT_EQ(fs::exists(gw.folder / "alarm-ran"), c.alarm);
    SettingsFile kept(gw.folder.path());
    const std::string since = kept.read_text("WatchDog", "NoNetworkSince", "", 40);
    if (c.registers) {
      EXPECT_EQ(since, "");
    } else if (c.alarm) {
      EXPECT_EQ(since, c.since);
    } else {
      EXPECT_EQ(since.size(), 8u);
      EXPECT_NE(since, c.since) << "a new row begins";
    }
  }
}

}  // namespace
}  // namespace qz
