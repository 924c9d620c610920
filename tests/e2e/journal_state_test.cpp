// What the real gateway says at start about a job journal it cannot read whole, and what
// then happens to a job that was sent before a crash: it is remembered and not sent
// again, or it goes out again after a red line that says so. Never lost, never repeated
// in silence. (Every state of the journal is in the journal's own tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>

#include "e2e/e2e_support.h"
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
  return "O " + read_file_version(job_file).identity.key() + " 8 1700000000 " + job_file.string() + "\n";
}

TEST(JournalState, AJournalThatCannotBeReadWhollyIsSaidOnceInRedAndTheJobIsNotLost) {
  const std::string journal = "Job journal qzgsms-jobs.journal";
  const std::string off = "; exactly-once delivery across a crash is off until it is mended";
  struct Case {
    const char* name;
    // Puts the journal in place; `record` remembers the job as sent.
    std::function<void(const fs::path& journal, const std::string& record)> make;
    std::string red;
    int sends;  // of the job that was in progress
  };
  const Case cases[] = {
      {"directory", [](auto& path, auto&) { fs::create_directory(path); },
       journal + " is a directory: jobs in progress may be sent again" + off, 1},
      {"damaged lines around the job's record",
       [](auto& path, auto& record) { write_file(path, "garbage\n" + record + "O \x01\x02\n"); },
       journal + ": 2 damaged lines skipped: jobs in progress may be sent again", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::GatewayInstance gw;
    gw.write_settings();
    gw.drop_job("j.sms", test::sms_job("900", "in progress", 0, ""));
    std::string record = outcome_record(gw.watch() / "j.sms");
    c.make(gw.folder / JobJournal::kFileName, record);

    gw.start();
    ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
    EXPECT_EQ(gw.stop(), 0);
    int sends = 0;
    for (const auto& sms : gw.modem.sms()) sends += sms.accepted && sms.text == "in progress";
    EXPECT_EQ(sends, c.sends);
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
