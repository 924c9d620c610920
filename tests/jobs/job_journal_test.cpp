#include "jobs/job_journal.h"

#include <gtest/gtest.h>

#include "core/gateway_log.h"
#include "jobs/alarm_job.h"
#include "jobs/filing.h"
#include "support/instance_harness.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempFolder;
using test::write_file;

// Every journal here is opened, written and dropped the way a run that is killed leaves
// it; the next JobJournal over the same folder is the restarted gateway.
class JobJournalTest : public ::testing::Test {
 protected:
  JobJournalTest() : log(folder.path()) {
    fs::create_directories(folder / "log");
    fs::create_directories(folder / "jobs");
    fs::create_directories(folder / "done");
  }

  AlarmJob sent_job(const std::string& name, const std::string& bytes) {
    fs::path path = folder / "jobs" / name;
    write_file(path, bytes);
    FileVersion v = read_file_version(path);
    AlarmJob job;
    job.JobFile = path.string();
    job.Identity = v.identity;
    job.FileBytes = v.bytes;
    job.Status = JOB_SENT;
    job.SentTime = 1700000000;
    return job;
  }
  fs::path journal_file() const { return folder / JobJournal::kFileName; }

  TempFolder folder;
  GatewayLog log;
};

TEST_F(JobJournalTest, OutcomeSurvivesARestartUntilTheFileIsFiled) {
  AlarmJob a = sent_job("a.sms", "[Alarm]\nMessage=a\n");
  AlarmJob b = sent_job("b.sms", "[Alarm]\nMessage=b\n");
  {
    JobJournal before(folder.path(), log);
    before.recover();
    EXPECT_TRUE(before.record_outcome(a));
    EXPECT_TRUE(before.record_outcome(b));
    before.record_table_written(b.Identity);
  }
  JobJournal after(folder.path(), log);
  after.recover();
  auto ea = after.find(a.Identity);
  auto eb = after.find(b.Identity);
  ASSERT_TRUE(ea && eb);
  EXPECT_EQ(ea->status, JOB_SENT);
  EXPECT_EQ(ea->sent_time, 1700000000);
  EXPECT_FALSE(ea->table_written);
  EXPECT_TRUE(eb->table_written) << "the table is not written twice";

  after.record_filed(a.Identity);
  EXPECT_FALSE(after.find(a.Identity));
  after.record_filed(b.Identity);
  EXPECT_EQ(fs::file_size(journal_file()), 0u) << "nothing pending: the journal starts afresh";
}

TEST_F(JobJournalTest, AJobFileRewrittenOrRemovedSinceItsOutcomeEndsItsEntry) {
  AlarmJob kept = sent_job("kept.sms", "[Alarm]\nMessage=kept\n");
  AlarmJob rewritten = sent_job("r.sms", "[Alarm]\nMessage=old\n");
  AlarmJob removed = sent_job("gone.sms", "[Alarm]\nMessage=gone\n");
  {
    JobJournal before(folder.path(), log);
    for (auto* job : {&kept, &rewritten, &removed}) before.record_outcome(*job);
  }
  write_file(rewritten.JobFile, "[Alarm]\nMessage=new\n");
  fs::remove(removed.JobFile);

  JobJournal after(folder.path(), log);
  after.recover();
  EXPECT_TRUE(after.find(kept.Identity));
  EXPECT_FALSE(after.find(rewritten.Identity));
  EXPECT_FALSE(after.find(removed.Identity));
  EXPECT_EQ(after.live_entries(), 1u);
  // The rewritten journal holds only what is still pending.
  JobJournal again(folder.path(), log);
  again.recover();
  EXPECT_EQ(again.live_entries(), 1u);
}

TEST_F(JobJournalTest, AFilingCutShortIsCompletedOrUndone) {
  AlarmJob published = sent_job("p.sms", "[Alarm]\nMessage=p\n");
  AlarmJob unpublished = sent_job("u.sms", "[Alarm]\nMessage=u\n");
  fs::path p_dest = folder / "done" / "0000AAAA-p.sms";
  fs::path u_dest = folder / "done" / "0000AAAA-u.sms";
  {
    JobJournal before(folder.path(), log);
    before.record_outcome(published);
    before.record_table_written(published.Identity);
    before.record_destination(published.Identity, p_dest);
    write_file(p_dest, published.FileBytes + "note");  // renamed into place, then killed
    before.record_outcome(unpublished);
    before.record_destination(unpublished.Identity, u_dest);
    write_file(u_dest.parent_path() / ".qzgsms-00000000000000aa.part", "half");  // killed while writing the copy
  }
  JobJournal after(folder.path(), log);
  after.recover();
  EXPECT_FALSE(fs::exists(published.JobFile)) << "its copy is complete: the job file goes";
  EXPECT_FALSE(after.find(published.Identity));
  auto entry = after.find(unpublished.Identity);
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->destination.empty()) << "it is filed afresh";
  EXPECT_TRUE(fs::exists(unpublished.JobFile));
}

TEST_F(JobJournalTest, DamagedLinesAreIgnoredAndOddPathsSurvive) {
  AlarmJob odd = sent_job("line\nbreak %41.sms", "[Alarm]\nMessage=odd\n");
  {
    JobJournal before(folder.path(), log);
    before.record_outcome(odd);
  }
  std::string text = read_file(journal_file());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  // A crash in the middle of a record, lines that are not records at all, and outcomes of
  // the same job whose numbers do not fit their fields: none of them may change its entry.
  const std::string again = "O " + odd.Identity.key() + " ";
  const std::string path = " " + escape_journal_text(odd.JobFile) + "\n";
  write_file(journal_file(), "garbage\nO zz 8 1 /x\nF 1:2\n" + text + again + "99999999999999999999 1" + path +
                                 again + "8 99999999999999999999" + path + again + "4294967304 1" + path +
                                 again + "-9223372036854775809 1" + path + "O 1:2:3:4:5 8 17");

  JobJournal after(folder.path(), log);
  after.recover();
  auto entry = after.find(odd.Identity);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->job_file, odd.JobFile);
  EXPECT_EQ(entry->status, JOB_SENT);
  EXPECT_EQ(entry->sent_time, 1700000000);
  EXPECT_EQ(after.live_entries(), 1u);
  EXPECT_EQ(unescape_journal_text(escape_journal_text("a%b\r\n\x7f" "c")), "a%b\r\n\x7f" "c");
}

// What a start says about the journal it finds, and what then happens to a job that was
// sent before the crash: remembered (not sent again), or said in red to go out again.
TEST_F(JobJournalTest, AJournalThatCannotBeReadWhollyIsSaidInRedOnceAndWritesStayQuiet) {
  enum class Found { kMissing, kFile, kSymlink, kDirectory };
  struct Case {
    const char* name;
    Found found;
    std::string text;  // of the file, or of the one the link points at; "<a>" is a's outcome record
    std::string red;   // the one red line, empty for none
    bool remembered;   // a's outcome survives the restart
  };
  const std::string journal = "Job journal qzgsms-jobs.journal";
  const std::string repeat = ": jobs in progress may be sent again";
  const std::string off = "; exactly-once delivery across a crash is off until it is mended";
  const Case cases[] = {
      {"missing", Found::kMissing, "", "", false},
      {"empty", Found::kFile, "", "", false},
      {"symlink", Found::kSymlink, "<a>", journal + " is a symbolic link, which is never followed" + repeat + off, false},
      {"directory", Found::kDirectory, "", journal + " is a directory" + repeat + off, false},
      {"damaged", Found::kFile, "garbage\n<a>O zz 8 1 /x\n\n", journal + ": 3 damaged lines skipped" + repeat, true},
      {"cut outcome", Found::kFile, "<a>O 1:2:3:4:5 8 17", journal + ": its last record was cut short by a crash: the job it was written for may be sent again", true},
      {"cut filing", Found::kFile, "<a>F 1:2:3", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder instance;
    GatewayLog start_log(instance.path());
    test::RecordingWindow window;
    start_log.register_window(&window);
    AlarmJob a = sent_job(std::string(c.name) + "-a.sms", "[Alarm]\nMessage=a\n");
    AlarmJob b = sent_job(std::string(c.name) + "-b.sms", "[Alarm]\nMessage=b\n");
    std::string text = c.text;
    if (text.find("<a>") != std::string::npos) {
      text.replace(text.find("<a>"), 3, "O " + a.Identity.key() + " 8 1700000000 " + a.JobFile + "\n");
    }
    fs::path journal = instance / JobJournal::kFileName;
    fs::path target = folder / (std::string(c.name) + ".journal");
    if (c.found == Found::kFile) write_file(journal, text);
    if (c.found == Found::kDirectory) fs::create_directory(journal);
    if (c.found == Found::kSymlink) {
      write_file(target, text);
      fs::create_symlink(target, journal);
    }

    JobJournal restarted(instance.path(), start_log);
    restarted.recover();
    EXPECT_EQ(restarted.find(a.Identity).has_value(), c.remembered);
    // Jobs go on being sent and recorded; a journal that cannot take them says so once.
    restarted.record_outcome(b);
    restarted.record_outcome(b);
    std::vector<std::string> red;
    while (auto line = start_log.take_pending_line()) {
      if (line->color == kRed) red.push_back(line->text.substr(20));
    }
    EXPECT_EQ(red, c.red.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.red});
    if (c.found == Found::kSymlink) {
      EXPECT_TRUE(fs::is_symlink(journal));
      EXPECT_EQ(read_file(target), text) << "a link is never written through";
    }
    if (c.found == Found::kDirectory) {
      EXPECT_TRUE(fs::is_directory(journal));
    }
  }
}

TEST_F(JobJournalTest, HandOverIsOncePerRunAndPerVersion) {
  AlarmJob a = sent_job("a.sms", "[Alarm]\nMessage=a\n");
  JobJournal journal(folder.path(), log);
  journal.recover();
  journal.record_outcome(a);
  EXPECT_FALSE(journal.hand_over(a.Identity));
  EXPECT_TRUE(journal.hand_over(a.Identity));
  JobJournal restarted(folder.path(), log);
  restarted.recover();
  EXPECT_FALSE(restarted.hand_over(a.Identity));
}

}  // namespace
}  // namespace qz
