// What the real gateway says at start about a job journal it cannot read whole, and what
// then happens to a job that was sent before a crash: it is remembered and not sent
// again, or it goes out again after a red line that says so. Never lost, never repeated
// in silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>

#include "core/gateway_log.h"
#include "e2e/e2e_support.h"
#include "jobs/alarm_job.h"
#include "jobs/job_journal.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::eventually;
using test::files_in;
using test::read_file;
using test::write_file;

// The record a run that sent `job_file` and was killed before filing it left behind.
std::string outcome_record(const fs::path& job_file) {
  test::TempFolder scratch;
  GatewayLog log(scratch.path());
  JobJournal journal(scratch.path(), log);
  FileVersion version = read_file_version(job_file);
  AlarmJob job;
  job.JobFile = job_file.string();
  job.Identity = version.identity;
  job.Status = JOB_SENT;
  job.SentTime = 1700000000;
  journal.record_outcome(job);
  return read_file(scratch / JobJournal::kFileName);
}

TEST(JournalState, AJournalThatCannotBeReadWhollyIsSaidOnceInRedAndTheJobIsNotLost) {
  const std::string journal = "Job journal qzgsms-jobs.journal";
  const std::string off = "; exactly-once delivery across a crash is off until it is mended";
  struct Case {
    const char* name;
    // Puts the journal in place; `record` remembers the job as sent.
    std::function<void(const fs::path& journal, const std::string& record, const fs::path& outside)> make;
    std::string red;
    int sends;  // of the job that was in progress
  };
  const Case cases[] = {
      {"directory", [](auto& path, auto&, auto&) { fs::create_directory(path); },
       journal + " is a directory: jobs in progress may be sent again" + off, 1},
      {"symlink to a journal that remembers the job",
       [](auto& path, auto& record, auto& outside) {
         write_file(outside / "journal", record);
         fs::create_symlink(outside / "journal", path);
       },
       journal + " is a symbolic link, which is never followed: jobs in progress may be sent again" + off, 1},
      {"damaged lines around the job's record",
       [](auto& path, auto& record, auto&) { write_file(path, "garbage\n" + record + "O \x01\x02\n"); },
       journal + ": 2 damaged lines skipped: jobs in progress may be sent again", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::GatewayInstance gw;
    test::TempFolder outside;
    gw.write_settings();
    gw.drop_job("j.sms", test::sms_job("900", "in progress", 0, ""));
    std::string record = outcome_record(gw.watch() / "j.sms");
    c.make(gw.folder / JobJournal::kFileName, record, outside.path());

    gw.start();
    ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
    EXPECT_EQ(gw.stop(), 0);
    int sends = 0;
    for (const auto& sms : gw.modem.sms()) sends += sms.accepted && sms.text == "in progress";
    EXPECT_EQ(sends, c.sends);
    if (fs::exists(outside / "journal")) {
      EXPECT_EQ(read_file(outside / "journal"), record) << "never written through";
    }
    std::vector<std::string> lines = gw.window_lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), c.red), 1) << "said once, at start";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](auto& line) { return line.find("cannot write the job journal") != std::string::npos; }),
              0);
    if (HasFailure()) {
      for (const auto& line : lines) std::cout << line << "\n";
      return;
    }
  }
}

}  // namespace
}  // namespace qz
