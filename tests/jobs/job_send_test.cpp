// A job file made from outside the alarm application: what the gateway's reader reads back,
// what it would refuse, how it gets into the watch folder, and where its outcome shows.
#include <gtest/gtest.h>

#include "core/files.h"
#include "jobs/alarm_job.h"
#include "jobs/folder_watch.h"
#include "jobs/job_drop.h"
#include "jobs/job_file.h"
#include "jobs/job_outcome.h"
#include "jobs/job_request.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempFolder;
using test::write_file;

JobRequest sms(std::string number, std::string text) {
  JobRequest r;
  r.number = std::move(number);
  r.text = std::move(text);
  return r;
}

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(JobRequestTest, TheReaderGetsBackExactlyWhatWasAsked) {
  TempFolder media;
  write_file(media / "cam.jpg", "jpeg");
  JobRequest mms = sms("+41 79 000 00 02", "Gate 4");
  mms.channel = JobChannel::kMms;
  mms.scenario = "plant";
  mms.entry = 7;
  mms.subject = " 'Gate' ";
  mms.files = {media / "cam.jpg"};
  JobRequest call = sms("0791234567", "");
  call.channel = JobChannel::kVoiceCall;
  call.scenario = "S\xC3\xBC" "d";
  call.entry = 0;
  JobRequest flash = sms("+41790000001", "x=1; [Alarm] #2");
  flash.flash = true;
  flash.name = "Ann \"A\"";

  const JobRequest cases[] = {
      sms("+41790000001", "Boiler 3: pressure low"),
      sms("1", "\"quoted\""),                      // the reader takes one pair of quotes off
      sms("1", "'single'"),
      sms("1", "  blanks at both ends  "),
      sms("1", "\xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81 \xE6\xB3\xB5 K\xFC" "hler"),  // UTF-8 and a Latin-1 byte
      mms, call, flash};
  for (const JobRequest& r : cases) {
    SCOPED_TRACE(r.text);
    ASSERT_EQ(job_request_refusal(r), "");
    const std::string bytes = job_file_bytes(r);
    EXPECT_TRUE(bytes.starts_with("[Alarm]\r\n") && bytes.ends_with("\r\n"));
    const AlarmJob job = parse_job_file(bytes, "x.sms");
    EXPECT_FALSE(is_bad_request(job));
    EXPECT_EQ(job.PhoneNumber, r.number);
    EXPECT_EQ(job.Message, r.text);
    EXPECT_EQ(job.Name, r.name);
    EXPECT_EQ(job.Szenario, r.scenario);
    EXPECT_EQ(job.IsMiniMessage, r.scenario.empty() ? 1 : 0);
    if (!r.scenario.empty()) {
      EXPECT_EQ(job.dbentry, r.entry);
    }
    EXPECT_EQ(job.Flash, r.flash ? 1 : 0);
    EXPECT_EQ(job.ContentType, r.channel == JobChannel::kSms         ? "SMS"
                               : r.channel == JobChannel::kVoiceCall ? "VC"
                                                                     : "application/vnd.wap.multipart.mixed");
    EXPECT_EQ(job.Subject, r.subject);
    for (std::size_t n = 0; n < r.files.size(); ++n) EXPECT_EQ(job.Files[n], r.files[n].string());
  }
}

TEST(JobRequestTest, ATextBecomesOneLineThatFitsItsField) {
  EXPECT_EQ(one_line_text("Disk full\r\non host a\tnow", 100), "Disk full  on host a now");
  EXPECT_EQ(one_line_text(std::string("a\0b", 3), 100), "a b");
  // 2047 bytes end inside the two-byte character: it is left out whole.
  const std::string text = std::string(2046, 'x') + "\xC3\xBC";
  EXPECT_EQ(one_line_text(text, kJobTextBytes), std::string(2046, 'x'));
}

TEST(JobRequestTest, WhatTheGatewayWouldRefuseOrNeverSendIsRefused) {
  TempFolder media;
  write_file(media / "cam.jpg", "jpeg");
  write_file(media / "big.jpg", std::string(100000, 'x'));
  write_file(media / "notes.txt", "text");
  auto with = [](JobRequest r, auto change) {
    change(r);
    return r;
  };
  auto scenario = [](std::string s) {
    return [s](JobRequest& r) {
      r.scenario = s;
    };
  };
  auto mms = [&](fs::path file) {
    return [file](JobRequest& r) {
      r.channel = JobChannel::kMms;
      r.scenario = "plant";
      r.files = {file};
    };
  };
  const JobRequest ok = sms("+41790000001", "Pump 3 failed");
  const struct {
    JobRequest request;
    const char* refusal;
  } cases[] = {
      {sms("", "text"), "no number"},
      {sms("+41 79 ABC", "text"), "cannot be dialled"},
      {sms("079;ATH", "text"), "cannot be dialled"},
      {sms(std::string(48, '1'), "text"), "too long for an SMS"},
      {sms("1", ""), "no text"},
      {sms("1", "   "), "no text"},
      {with(ok, [](JobRequest& r) { r.channel = JobChannel::kVoiceCall; }), "needs a scenario"},
      {with(ok, scenario("../plant")), "does not name a report table"},
      {with(ok, scenario("C:plant")), "does not name a report table"},
      {with(ok, scenario("a\\b")), "does not name a report table"},
      {with(ok, scenario("plant\r\nPhoneNumber=2")), "does not name a report table"},
      {with(ok, scenario(std::string(64, 'p'))), "does not name a report table"},
      {with(ok, mms(media / "absent.jpg")), "does not exist"},
      {with(ok, mms(media / "notes.txt")), "no picture, sound or video"},
      {with(ok, mms(media / "big.jpg")), "too big for an MMS"},
      {with(ok, [](JobRequest& r) { r.channel = JobChannel::kMms, r.scenario = "plant"; }), "needs a file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal);
    EXPECT_NE(job_request_refusal(c.request).find(c.refusal), std::string::npos) << job_request_refusal(c.request);
  }
  EXPECT_EQ(job_request_refusal(with(ok, mms(media / "cam.jpg"))), "");
}

TEST(JobDropTest, ANameMatchesTheMaskAndCarriesTheUniqueText) {
  const std::string unique = "send-6B17F818-42-0a1b2c3d";
  const struct {
    const char* mask;
    bool carries_unique;
  } masks[] = {{"*.sms", true}, {"*.SMS", true}, {"ALARM*.txt", true}, {"*", true}, {"*.*", true},
               {"alarm??.sms", false}, {"job[0-9]*.sms", true}};
  for (const auto& m : masks) {
    SCOPED_TRACE(m.mask);
    std::optional<std::string> name = job_name_for_mask(m.mask, unique);
    ASSERT_TRUE(name);
    EXPECT_TRUE(file_name_matches(m.mask, *name)) << *name;
    EXPECT_EQ(name->find(unique) != std::string::npos, m.carries_unique) << *name;
    EXPECT_NE(name->back(), '.') << *name;
  }
  for (const char* mask : {"jobs/*.sms", ".qzgsms-*.part", ""}) EXPECT_FALSE(job_name_for_mask(mask, unique)) << mask;
  EXPECT_NE(*job_name_for_mask("alarm??.sms", unique), *job_name_for_mask("alarm??.sms", "send-6B17F818-42-0a1b2cff"))
      << "another unique text, another name";
}

TEST(JobDropTest, TheJobAppearsWholeUnderAFreeNameAndNeverReplacesOne) {
  TempFolder watch;
  const std::string bytes = job_file_bytes(sms("1", "Pump 3 failed"));
  DroppedJob first = drop_job_file(watch.path(), "*.sms", bytes);
  DroppedJob second = drop_job_file(watch.path(), "*.sms", bytes);
  ASSERT_TRUE(first.ok && second.ok) << first.problem << second.problem;
  EXPECT_NE(first.path, second.path);
  EXPECT_EQ(read_file(first.path), bytes);
  FileVersion version = read_file_version(first.path);
  EXPECT_EQ(version.identity, first.identity) << "the identity the gateway's journal will name";
  const uint32_t mode = entry_info(first.path)->permissions;
  if (mode != 0) {
    EXPECT_EQ(mode & 0777, 0644u) << "the gateway's user reads it (where files have modes)";
  }

  // A mask that allows one name only: the waiting job stays as it is.
  write_file(watch / "alarm.sms", "waiting");
  DroppedJob refused = drop_job_file(watch.path(), "alarm.sms", bytes);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, EEXIST);
  EXPECT_EQ(read_file(watch / "alarm.sms"), "waiting");
  EXPECT_EQ(names_in(watch.path()).size(), 3u) << "no temporary file is left behind";
}

// The places a job's outcome shows, each written as the gateway writes it.
TEST(JobOutcomeTest, TheOutcomeIsReadFromTheJournalOrTheFiledCopyAndNothingElse) {
  const std::string bytes = job_file_bytes(sms("1", "Pump 3 failed"));
  const std::string note = "2024.3.7 9:5 ALARM successfully sent";
  struct Case {
    const char* what;
    std::function<void(const fs::path& instance, const DroppedJob& job)> gateway_leaves;
    std::optional<int32_t> status;
  };
  const Case cases[] = {
      {"journal: sent", [](const fs::path& i, const DroppedJob& j) {
         write_file(i / "qzgsms-jobs.journal", "O " + j.identity.key() + " 8 1709802300 " + j.path.string() + "\n");
       }, JOB_SENT},
      {"journal: failed", [](const fs::path& i, const DroppedJob& j) {
         write_file(i / "qzgsms-jobs.journal", "O 1:2:3:4:5 8 1 other.sms\nO " + j.identity.key() + " 3 1709802300 x\n");
       }, JOB_FAILED},
      {"journal: record cut short by a crash", [](const fs::path& i, const DroppedJob& j) {
         write_file(i / "qzgsms-jobs.journal", "O " + j.identity.key() + " 8");
       }, std::nullopt},
      {"journal: another job's", [](const fs::path& i, const DroppedJob&) {
         write_file(i / "qzgsms-jobs.journal", "O 1:2:3:4:5 8 1 x\n");
       }, std::nullopt},
      {"done: its bytes and the note", [&](const fs::path& i, const DroppedJob& j) {
         write_file(i / "done" / ("6B17F818-" + j.path.filename().string()), bytes + note);
       }, JOB_SENT},
      {"error: its bytes, under a numbered name", [&](const fs::path& i, const DroppedJob& j) {
         const std::string stem = j.path.stem().string();
         write_file(i / "error" / ("6B17F818-" + stem + "-2.sms"), bytes);
       }, JOB_FAILED},
      {"error: a bad request under its own name", [&](const fs::path& i, const DroppedJob& j) {
         write_file(i / "error" / j.path.filename(), bytes);
       }, JOB_FAILED},
      {"done: another job's bytes under a like name", [&](const fs::path& i, const DroppedJob& j) {
         write_file(i / "done" / ("6B17F818-" + j.path.filename().string()), "[Alarm]\r\nother\r\n");
       }, std::nullopt},
      {"done: a half-written copy under a hidden name", [&](const fs::path& i, const DroppedJob& j) {
         write_file(i / "done" / ".qzgsms-0123456789abcdef.part", bytes + note);
       }, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder instance;
    for (const char* folder : {"jobs", "done", "error"}) fs::create_directory(instance / folder);
    DroppedJob job = drop_job_file(instance / "jobs", "*.sms", bytes);
    ASSERT_TRUE(job.ok);
    JobOutcomeWatch watch(job.path, bytes, job.identity, {instance / "done", instance / "error"},
                          instance / "qzgsms-jobs.journal");
    EXPECT_FALSE(watch.look()) << "nothing yet";
    c.gateway_leaves(instance.path(), job);
    std::optional<JobOutcome> outcome;
    for (int look = 0; look < 25 && !outcome; ++look) outcome = watch.look();  // a folder listed anyway
    EXPECT_EQ(outcome ? std::optional<int32_t>(outcome->status) : std::nullopt, c.status);
  }
}

TEST(JobOutcomeTest, TheWaitingJobIsNoOutcomeWhenTheReportFolderIsTheWatchFolder) {
  TempFolder instance;
  const std::string bytes = job_file_bytes(sms("1", "Pump 3 failed"));
  DroppedJob job = drop_job_file(instance.path(), "*.sms", bytes);
  ASSERT_TRUE(job.ok);
  JobOutcomeWatch watch(job.path, bytes, job.identity, {instance.path()}, instance / "qzgsms-jobs.journal");
  for (int look = 0; look < 25; ++look) EXPECT_FALSE(watch.look());
}

}  // namespace
}  // namespace qz
