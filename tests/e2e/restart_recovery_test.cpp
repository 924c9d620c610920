// A gateway ended at any step of filing a job (kill -9, a power cut) is settled at its
// next start: every job sent once, every job file filed once with its own bytes, nothing
// hidden left behind. The states are built from the files' own formats, as the ended
// gateway leaves them, with the real headless gateway started on them afterwards.
#include <gtest/gtest.h>

#include <map>

#include "e2e/chaos_support.h"
#include "e2e/e2e_support.h"
#include "jobs/file_version.h"
#include "jobs/filing.h"
#include "jobs/job_journal.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::accepted_texts;
using test::chaos::entries_in;
using test::eventually;
using test::files_in;
using test::GatewayTest;
using test::read_file;
using test::sms_job;
using test::write_file;

constexpr const char* kNote = "2023.11.14 22:13 ALARM successfully sent";

// How many filed files hold `bytes` as their beginning.
int copies_of(const fs::path& folder, const std::string& bytes) {
  int n = 0;
  for (const auto& name : entries_in(folder)) n += read_file(folder / name).starts_with(bytes);
  return n;
}

class RestartRecoveryTest : public GatewayTest {};

// The step of a filing after which the gateway ended.
enum class EndedAfter {
  kOutcome,       // the outcome and the report table are journalled
  kCopyStarted,   // the destination is journalled, its copy half written
  kCopyComplete,  // the copy has its final name
  kTakenAside,    // the job file is taken aside to be removed
  kRemoved,       // the job file is removed
  kEntryEnded,    // the journal's entry is ended
};

TEST_F(RestartRecoveryTest, AStartAfterAnEndAtAnyStepOfFilingSendsEachJobOnceAndFilesItOnce) {
  struct Row {
    std::string name;
    EndedAfter ended_after;
    bool new_job_dropped_since;  // a new job file under the same name, while it was down
  };
  const std::vector<Row> rows = {
      {"a.sms", EndedAfter::kOutcome, false},      {"b.sms", EndedAfter::kCopyStarted, false},
      {"c.sms", EndedAfter::kCopyComplete, false}, {"d.sms", EndedAfter::kTakenAside, true},
      {"e.sms", EndedAfter::kRemoved, true},       {"f.sms", EndedAfter::kEntryEnded, true},
  };
  gw.write_settings();
  fs::create_directories(gw.watch());
  fs::create_directories(gw.done());

  std::string journal;
  std::vector<std::string> old_jobs, new_jobs;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    std::string old_job = sms_job("10" + std::to_string(i), "old alarm " + row.name, static_cast<int>(i), "");
    fs::path job_file = gw.watch() / row.name;
    fs::path filed = gw.done() / ("65540000-" + row.name);
    write_file(job_file, old_job);
    std::string key = read_file_version(job_file).identity.key();
    old_jobs.push_back(old_job);

    journal += "O " + key + " 8 1700000000 " + job_file.string() + "\nR " + key + "\n";
    if (row.ended_after >= EndedAfter::kCopyStarted) journal += "M " + key + " " + filed.string() + "\n";
    if (row.ended_after == EndedAfter::kCopyStarted) write_file(temporary_name_for(filed), old_job.substr(0, 20));
    if (row.ended_after >= EndedAfter::kCopyComplete) write_file(filed, old_job + kNote);
    if (row.ended_after == EndedAfter::kTakenAside) fs::rename(job_file, taken_aside_name_for(job_file));
    if (row.ended_after >= EndedAfter::kRemoved) fs::remove(job_file);
    if (row.ended_after == EndedAfter::kEntryEnded) journal += "F " + key + "\n";
    if (row.new_job_dropped_since) {
      new_jobs.push_back(sms_job("20" + std::to_string(i), "new alarm " + row.name, static_cast<int>(i), ""));
      gw.drop_job(row.name, new_jobs.back());
    }
  }
  write_file(gw.folder / JobJournal::kFileName, journal);

  gw.start();
  std::size_t all_jobs = old_jobs.size() + new_jobs.size();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() >= all_jobs && entries_in(gw.watch()).empty(); }));
  std::this_thread::sleep_for(300ms);  // many more scans at the fast clock

  std::map<std::string, int> expected_sends;
  for (const auto& row : rows) {
    if (row.new_job_dropped_since) expected_sends["new alarm " + row.name] = 1;
  }
  EXPECT_EQ(accepted_texts(gw.modem), expected_sends) << "no old alarm again, each new one once";
  for (const auto& job : old_jobs) EXPECT_EQ(copies_of(gw.done(), job), 1) << job;
  for (const auto& job : new_jobs) EXPECT_EQ(copies_of(gw.done(), job), 1) << job;
  EXPECT_EQ(entries_in(gw.done()).size(), all_jobs) << "no temporary left";
  EXPECT_TRUE(entries_in(gw.watch()).empty());
  EXPECT_EQ(fs::file_size(gw.folder / JobJournal::kFileName), 0u);
  EXPECT_NE(gw.daily_log().find("Job journal: " + (gw.watch() / "d.sms").string() + " was filed as " +
                                (gw.done() / "65540000-d.sms").string()),
            std::string::npos);
}

TEST_F(RestartRecoveryTest, WhatAnEarlierRunLeftHiddenIsRemovedOrPutBackAndNoJobIsLost) {
  gw.write_settings();
  fs::create_directories(gw.watch());
  fs::create_directories(gw.done());
  fs::create_directories(gw.error());
  // Copies cut short, left by a start that could not remove them.
  write_file(temporary_name_for(gw.done() / "65540000-x.sms"), "[Alarm]\r\nPhone");
  write_file(temporary_name_for(gw.error() / "y.sms"), "[Alarm]\r\n");
  // A job file taken aside that no journal entry describes (the journal could not be
  // written when its outcome was final): its only copy, with a new job under its name.
  std::string unjournalled = sms_job("301", "taken aside, never journalled", 0, "");
  std::string dropped_since = sms_job("302", "dropped since", 0, "");
  write_file(taken_aside_name_for(gw.watch() / "k.sms"), unjournalled);
  gw.drop_job("k.sms", dropped_since);
  // Hidden files of the alarm application: never the gateway's to touch.
  const std::map<fs::path, std::string> not_ours = {
      {gw.watch() / ".k2.sms.part", "[Alarm]\r\nPhoneNumber=303\r\nMess"},
      {gw.done() / ".qzgsms-notes.part", "kept"},
      {gw.done() / ".qzgsms-0123456789ABCDEF.part", "kept too"},
  };
  for (const auto& [path, bytes] : not_ours) write_file(path, bytes);

  gw.start();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2 && files_in(gw.watch()).empty(); }));
  std::this_thread::sleep_for(300ms);

  EXPECT_EQ(accepted_texts(gw.modem),
            (std::map<std::string, int>{{"dropped since", 1}, {"taken aside, never journalled", 1}}));
  EXPECT_EQ(copies_of(gw.done(), unjournalled), 1);
  EXPECT_EQ(copies_of(gw.done(), dropped_since), 1);
  EXPECT_TRUE(entries_in(gw.error()).empty());
  EXPECT_EQ(entries_in(gw.watch()), std::vector<std::string>{".k2.sms.part"});
  EXPECT_EQ(entries_in(gw.done()).size(), 4u);
  for (const auto& [path, bytes] : not_ours) EXPECT_EQ(read_file(path), bytes) << path;
  EXPECT_NE(gw.daily_log().find((gw.watch() / "k-1.sms").string() + " was taken aside when an earlier run ended: put back"),
            std::string::npos);
}

}  // namespace
}  // namespace qz
