#include "jobs/job_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/gateway_log.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

struct RecordingSink : WindowSink {
  std::mutex mutex;
  std::vector<int> numbers;
  void notify(int number) override {
    std::lock_guard lock(mutex);
    numbers.push_back(number);
  }
};

class JobTableTest : public ::testing::Test {
 protected:
  JobTableTest() : log(folder.path()), table(log) {
    std::filesystem::create_directory(folder / "log");
    log.register_window(&sink);
  }
  std::string daily_log() {
    std::string all;
    for (auto& e : std::filesystem::directory_iterator(folder / "log")) all += test::read_file(e.path());
    return all;
  }
  static AlarmJob job(const std::string& phone) {
    AlarmJob j;
    j.Szenario = "plant";
    j.PhoneNumber = phone;
    j.Name = "Ann";
    j.Message = "boiler fault";
    j.AlarmKey = "17";
    j.dbentry = 2;
    j.Rings = 8;
    j.ConfirmType = 8;
    j.SendConfirmAck = 1;
    j.ContentType = "SMS";
    return j;
  }

  test::TempFolder folder;
  RecordingSink sink;
  GatewayLog log;
  JobTable table;
};

TEST_F(JobTableTest, NewJobTakesLowestFreeSlotWithSentTimeCleared) {
  AlarmJob j = job("1");
  j.SentTime = 12345;
  EXPECT_EQ(table.new_alarm(j), 0);
  EXPECT_EQ(table.new_alarm(job("2")), 1);
  EXPECT_EQ(table.new_alarm(job("3")), 2);
  EXPECT_EQ(table.jobs_by_slot[0]->SentTime, 0);
  table.free_alarm(1);
  EXPECT_EQ(table.new_alarm(job("4")), 1);
  EXPECT_EQ(table.count(), 3);
}

TEST_F(JobTableTest, FullTableRefusesAndLogsOverflow) {
  for (int i = 0; i < MAX_JOBS; ++i) ASSERT_EQ(table.new_alarm(job(std::to_string(i))), i);
  EXPECT_EQ(table.new_alarm(job("x")), -1);
  EXPECT_EQ(table.count(), MAX_JOBS);
  EXPECT_NE(daily_log().find("** new_alarm ** ERROR: jobs overflow (>1024)"), std::string::npos);
}

TEST_F(JobTableTest, FreeingLogsClearsTheCellAndEmptySlotsAreIgnored) {
  for (int i = 0; i < 6; ++i) table.new_alarm(job(std::to_string(i)));
  table.show_job_cell(5, 2, "sending alarm 17 to Ann");
  EXPECT_EQ(table.job_cell(5).image, 2);

  sink.numbers.clear();
  table.free_alarm(5);
  EXPECT_EQ(sink.numbers, std::vector<int>{6});
  EXPECT_EQ(table.job_cell(5).image, 0);
  EXPECT_EQ(table.job_cell(5).label, "");
  EXPECT_NE(daily_log().find("** free_alarm ** job 5 freed"), std::string::npos);

  sink.numbers.clear();
  std::string before = daily_log();
  table.free_alarm(5);
  table.free_alarm(-1);
  table.free_alarm(MAX_JOBS);
  EXPECT_TRUE(sink.numbers.empty());
  EXPECT_EQ(daily_log(), before);
}

TEST_F(JobTableTest, DuplicateRuleIgnoresChannelFileAndFlashButNotRings) {
  table.new_alarm(job("0791"));
  AlarmJob other_channel = job("0791");
  other_channel.ContentType = "VC";
  other_channel.Flash = 1;
  other_channel.JobFile = "/elsewhere/b.sms";
  other_channel.Subject = "x";
  EXPECT_TRUE(table.is_alarm_queued(other_channel));

  AlarmJob other_rings = job("0791");
  other_rings.Rings = 3;
  EXPECT_FALSE(table.is_alarm_queued(other_rings));
  AlarmJob other_case = job("0791");
  other_case.Name = "ann";
  EXPECT_FALSE(table.is_alarm_queued(other_case));
}

}  // namespace
}  // namespace qz
