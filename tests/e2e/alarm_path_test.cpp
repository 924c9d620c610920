#include <gtest/gtest.h>

#include <iostream>

#include "e2e/e2e_support.h"
#include "e2e/gateway_process.h"
#include "jobs/database.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::GatewayTest;
using test::files_in;
using test::sms_job;

struct Row {
  int status = -1;
  std::string time, ti;
  int to = -1;
};

Row read_row(const std::filesystem::path& table, int record, int pair) {
  CDatabase db;
  Row row;
  if (db.Open(table.string()) != 1 || db.Go(record) != 0) return row;
  db.GetField("STATUS", row.status);
  db.GetField("TIME", row.time);
  db.GetField("TI" + std::to_string(pair), row.ti);
  db.GetField("TO" + std::to_string(pair), row.to);
  db.Close();
  return row;
}

class AlarmPathTest : public GatewayTest {};

TEST_F(AlarmPathTest, SmsJobIsSentReportedMovedAndNoted) {
  gw.write_settings();
  gw.install_table("gdal_report.dbf", "plant");
  gw.start();
  gw.drop_job("a1.sms", sms_job("+41 79 123 45 67", "Boiler 3: pressure low", 1));

  // The filed copy shows before the job file leaves the watch folder: wait for both.
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
  auto sms = gw.modem.sms();
  ASSERT_EQ(sms.size(), 1u);
  EXPECT_EQ(sms[0].number, "+41791234567");
  EXPECT_EQ(sms[0].text, "Boiler 3: pressure low");

  std::string done_name = files_in(gw.done())[0];
  EXPECT_EQ(done_name.size(), 8u + 1u + 6u);
  EXPECT_EQ(done_name.substr(8), "-a1.sms");
  std::string moved = test::read_file(gw.done() / done_name);
  EXPECT_NE(moved.find("PhoneNumber=+41 79 123 45 67"), std::string::npos);
  EXPECT_NE(moved.find(" ALARM successfully sent"), std::string::npos);

  // Record 2 of this table has TY1 = VC, TY2 = SMS: the second pair gets the result.
  Row row = read_row(gw.folder / "tables/plant.dbf", 2, 2);
  EXPECT_EQ(row.status, 8);
  EXPECT_EQ(row.time.size(), 6u);
  EXPECT_EQ(row.ti, row.time);
  EXPECT_EQ(row.to, 8);
  EXPECT_EQ(gw.stop(), 0);
}

// Names come back from the folder listing and the journal as text: on Windows a name
// outside ASCII must name the same file again, or the job is never read or filed.
TEST_F(AlarmPathTest, JobFileAndScenarioNamedOutsideAsciiAreSentReportedAndFiled) {
  const std::string scenario = "S\xC3\xBC" "d";                         // Süd
  const std::string job = "St\xC3\xB6rung \xE6\xBC\xA2.sms";           // Störung 漢
  gw.write_settings();
  gw.install_table("gdal_report.dbf", scenario);
  gw.start();
  gw.drop_job(job, sms_job("+41 79 123 45 67", "Boiler 3", 1, scenario, "SMS"));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
  EXPECT_EQ(gw.modem.sms().size(), 1u);
  EXPECT_TRUE(files_in(gw.done())[0].ends_with("-" + job)) << files_in(gw.done())[0];
  EXPECT_EQ(read_row(gw.folder / "tables" / (scenario + ".dbf"), 2, 2).status, 8);
  EXPECT_EQ(gw.stop(), 0);
}

TEST_F(AlarmPathTest, ReportTableIsFoundWithoutRegardToCase) {
  gw.write_settings();
  std::filesystem::copy_file(std::filesystem::path(QZGSMS_FIXTURES_DIR) / "dbf/db3_report.dbf",
                             gw.folder / "tables/PLANT.DBF");
  gw.start();
  gw.drop_job("c.sms", sms_job("0791234567", "Hall 2", 0));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }));
  EXPECT_EQ(read_row(gw.folder / "tables/PLANT.DBF", 1, 1).status, 8);
  EXPECT_FALSE(std::filesystem::exists(gw.folder / "tables/plant.dbf"));
}

TEST_F(AlarmPathTest, FailingModemIsRetriedThenTheJobIsFiledAsFailed) {
  gw.write_settings();
  gw.install_table("db3_report.dbf", "plant");
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.failure = sim::SmsFailure::Error; });
  gw.start();
  gw.drop_job("f.sms", sms_job("0791234567", "Fire alarm hall 2", 0));

  ASSERT_TRUE(eventually([&] { return files_in(gw.error()).size() == 1; }));
  EXPECT_EQ(gw.modem.sms().size(), 2u) << "RetryCount 2";
  std::string log = gw.daily_log();
  EXPECT_NE(log.find("ERROR sending to 0791234567 (try 1/2)"), std::string::npos);
  EXPECT_NE(log.find("ERROR sending to 0791234567 (try 2/2)"), std::string::npos);
  std::string filed = test::read_file(gw.error() / files_in(gw.error())[0]);
  EXPECT_EQ(filed.find("ALARM successfully sent"), std::string::npos);
  EXPECT_EQ(read_row(gw.folder / "tables/plant.dbf", 1, 1).status, 3);
}

TEST_F(AlarmPathTest, BadRequestsUnknownTypesAndAlarmTextsAreHandledOnTheirOwn) {
  gw.write_settings();
  gw.install_table("vfp_report.dbf", "plant");
  test::write_file(gw.folder / "qzamsg.ini", "[Messages]\r\nK7=Pump 7 failed\r\n");
  gw.start();
  gw.drop_job("bad.sms", "[Alarm]\r\nSzenario=plant\r\nMessage=no number\r\n");
  gw.drop_job("key.sms", "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=111\r\nAlarmKey=K7\r\ndbentry=0\r\n");
  gw.drop_job("nokey.sms", "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=222\r\nAlarmKey=K9\r\ndbentry=1\r\n");
  gw.drop_job("type.sms", sms_job("333", "x", 2, "plant", "sms"));
  gw.drop_job("mini.sms", "[Alarm]\r\nPhoneNumber=444\r\nMessage=Just so you know\r\n");

  ASSERT_TRUE(eventually([&] { return files_in(gw.watch()).empty() && files_in(gw.done()).size() == 3; }));
  auto errors = files_in(gw.error());
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].substr(8), "-type.sms");
  EXPECT_EQ(errors[1], "bad.sms") << "a bad request keeps its name";
  EXPECT_EQ(test::read_file(gw.error() / errors[0]).find("successfully"), std::string::npos)
      << "nothing was sent for an unknown type";

  std::vector<std::string> texts;
  for (const auto& sms : gw.modem.sms()) texts.push_back(sms.number + ":" + sms.text);
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"111:Pump 7 failed", "222:ALARM K9", "444:Just so you know"}));
  EXPECT_EQ(read_row(gw.folder / "tables/plant.dbf", 3, 1).status, 0);
  EXPECT_NE(gw.daily_log().find("ContentType sms unknown"), std::string::npos);
}

TEST_F(AlarmPathTest, TheShippedExampleJobsAreAllSentWithTheMediaTheyName) {
  const std::filesystem::path examples = std::filesystem::path(QZGSMS_SOURCE_DIR) / "examples";
  gw.write_settings("Number=+41790000000\nVoiceCallDuration=2\n");
  gw.install_table("db3_report.dbf", "plant");
  std::filesystem::copy(examples / "media", gw.folder / "media");
  gw.start();
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(examples / "jobs")) {
    names.push_back(e.path().filename().string());
    gw.drop_job(names.back(), test::read_file(e.path()));
  }
  ASSERT_TRUE(eventually([&] { return files_in(gw.watch()).empty() && files_in(gw.done()).size() == names.size(); }))
      << "in the error folder: " << testing::PrintToString(files_in(gw.error()));
  auto mms = gw.modem.mms();
  ASSERT_EQ(mms.size(), 1u);
  for (const char* media : {"media/camera.jpg", "media/siren.amr"}) {
    EXPECT_NE(mms[0].pdu.find(test::read_file(examples / media)), std::string::npos) << media;
  }
}

TEST_F(AlarmPathTest, DamagedOrMissingTableOrRowStillFilesTheJobSaysWhyAndTouchesNoOtherRow) {
  gw.write_settings();
  gw.install_table("db3_report.dbf", "plant");
  // A table cut short in the middle of its records is refused as a whole.
  std::filesystem::copy_file(gw.folder / "tables/plant.dbf", gw.folder / "tables/cut.dbf");
  std::filesystem::resize_file(gw.folder / "tables/cut.dbf",
                               std::filesystem::file_size(gw.folder / "tables/cut.dbf") - 40);
  std::string untouched = test::read_file(gw.folder / "tables/plant.dbf");
  const struct {
    const char* job;
    const char* szenario;
    int dbentry;
    const char* line;  // after "ERROR : could not update <folder>/tables/"
  } cases[] = {
      {"cut.sms", "cut", 0, "cut.dbf (fewer records in the file than the header claims)"},
      {"row.sms", "plant", 5, "plant.dbf (row 6 of 5)"},
      {"gone.sms", "gone", 0, "gone.dbf (no such file)"},
  };
  gw.start();
  for (const auto& c : cases) gw.drop_job(c.job, sms_job("100", "to a table that cannot take it", c.dbentry, c.szenario));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == std::size(cases); }));
  std::string log = gw.daily_log();
  for (const auto& c : cases) {
    std::string line = "ERROR : could not update " + test::gateway_path_text(gw.folder / "tables" / c.line) + "\n";
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(test::read_file(gw.folder / "tables/plant.dbf"), untouched);
}

TEST_F(AlarmPathTest, FortyJobsAtOnceAreTakenThirtyAtATimeAndNoneIsLost) {
  gw.write_settings("RetryCount=1\n");
  gw.modem.set_reply_delay(5ms);
  gw.start();
  for (int i = 0; i < 40; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%02d.sms", i);
    gw.drop_job(name, "[Alarm]\r\nPhoneNumber=5550" + std::to_string(i) + "\r\nMessage=n" +
                          std::to_string(i) + "\r\n");
  }
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 40 && files_in(gw.watch()).empty(); }, 60s));
  EXPECT_EQ(gw.modem.sms().size(), 40u);
  EXPECT_EQ(gw.daily_log().find("jobs overflow"), std::string::npos);
}

TEST_F(AlarmPathTest, QueuedJobFileIsNotTakenTwice) {
  gw.write_settings();
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 200ms; });
  gw.start();
  gw.drop_job("one.sms", sms_job("1234", "same", 0, ""));
  gw.drop_job("two.sms", sms_job("1234", "same", 0, ""));  // equal by the duplicate rule
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2; }));
  EXPECT_EQ(gw.modem.sms().size(), 2u) << "the second waits until the first is gone, then goes";
  EXPECT_EQ(gw.daily_log().find("jobs overflow"), std::string::npos);
}

TEST_F(AlarmPathTest, JobThatCannotBeMovedAfterItsReportIsNotSentAgain) {
  gw.write_settings("DonePath=missing\\parent\\done\n");
  gw.start();
  gw.drop_job("stuck.sms", sms_job("777", "only once", 0, ""));
  ASSERT_TRUE(eventually([&] { return gw.daily_log().find("could not move") != std::string::npos; }));
  ASSERT_TRUE(eventually([&] { return gw.daily_log().find("was reported already") != std::string::npos; }));
  std::this_thread::sleep_for(500ms);  // several scans at the fast clock
  EXPECT_EQ(gw.modem.sms().size(), 1u);

  // New contents make it a new job.
  gw.drop_job("stuck.sms", sms_job("777", "a new alarm", 0, ""));
  ASSERT_TRUE(eventually([&] { return gw.modem.sms().size() == 2; }));
}

TEST_F(AlarmPathTest, GatewayKilledInTheMiddleOfASendSendsAgainAndReportsOnce) {
  gw.write_settings();
  gw.install_table("gdal_report.dbf", "plant");
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 60s; });
  gw.start();
  gw.drop_job("k.sms", sms_job("999", "Flood in cellar", 0));
  ASSERT_TRUE(eventually([&] { return gw.modem.sms().size() == 1; }));
  gw.kill();
  EXPECT_EQ(files_in(gw.watch()), std::vector<std::string>{"k.sms"});

  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 0ms; });
  gw.modem.power_cycle();
  gw.start();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(files_in(gw.done()).size(), 1u);
  EXPECT_EQ(gw.modem.sms().size(), 2u);
  EXPECT_EQ(read_row(gw.folder / "tables/plant.dbf", 1, 1).status, 8);
}

}  // namespace
}  // namespace qz
