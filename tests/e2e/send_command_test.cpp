// qzgsms-send against the real gateway and the simulated modem: what it queues arrives
// whole and once, and its exit code says what became of the alarm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "e2e/e2e_support.h"
#include "jobs/job_file.h"
#include "support/run_program.h"
#include "support/sms_pdu_decoder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::eventually;
using test::files_in;
using test::GatewayTest;
using test::ProgramRun;

class SendCommandTest : public GatewayTest {
 protected:
  // qzgsms-send on this instance unless `args` name another; `input` is its standard input.
  ProgramRun send(std::vector<std::string> args, const std::string& input = "", test::ProgramSetup setup = {}) {
    std::vector<std::string> argv{"/bin/sh", "-c", "input=$1; shift; printf '%s' \"$input\" | \"$@\"", "sh", input,
                                  QZGSMS_SEND};
    if (std::find(args.begin(), args.end(), "--instance") == args.end()) {
      argv.insert(argv.end(), {"--instance", gw.folder.path().string()});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    return test::run_program(argv, setup);
  }
  // The folders a set-up instance has before its gateway first starts.
  void make_folders() {
    for (const fs::path& folder : {gw.watch(), gw.done(), gw.error()}) fs::create_directories(folder);
  }
  // The gateway, once it serves its watch folder: a send before that finds no gateway.
  void start_gateway() {
    make_folders();
    gw.start();
    ASSERT_TRUE(gw.wait_until_taking_jobs());
  }
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

TEST_F(SendCommandTest, ATextInThreeAlphabetsIsSentAndTheWaitSaysSo) {
  const std::string text = "Pumpe 3 ausgefallen \xE2\x80\x93 \xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81 3 "
                           "\xD0\xBE\xD1\x82\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBB \xE2\x80\x93 3\xE5\x8F\xB7"
                           "\xE6\xB3\xB5\xE6\x95\x85\xE9\x9A\x9C";
  gw.write_settings();
  start_gateway();
  const struct {
    std::vector<std::string> args;
    std::string input;
  } runs[] = {
      {{"--wait=60", "+41 79 000 00 01", text}, ""},
      // A monitoring system pipes its message in, lines and all.
      {{"--wait=60", "--name", "Night shift", "+41790000002", "-"}, "Pumpe 3 ausgefallen\n" + text.substr(20) + "\n"},
  };
  for (const auto& run : runs) {
    ProgramRun sent = send(run.args, run.input);
    EXPECT_EQ(sent.exit_code, 0) << sent.out << sent.err;
    std::vector<std::string> out = lines_of(sent.out);
    ASSERT_EQ(out.size(), 2u) << sent.out;
    EXPECT_TRUE(out[0].ends_with(".sms")) << "first the job's name";
    // Said from the journal or from the filed copy, whichever showed first.
    EXPECT_TRUE(out[1] == out[0] + ": sent" || out[1].starts_with(out[0] + ": sent, filed as " + gw.done().string()))
        << out[1];
  }
  ASSERT_EQ(files_in(gw.done()).size(), 2u);
  const auto decoded = test::decode_sms_pdus({gw.modem.sms().at(0).text, gw.modem.sms().at(1).text});
  if (!decoded) GTEST_SKIP() << "SKIPPED: python3-gammu is not installed, the texts are not decoded";
  ASSERT_EQ(decoded->size(), 2u);
  EXPECT_EQ(decoded->at(0).text, text);
  EXPECT_EQ(decoded->at(1).text, text) << "the line break became a blank";
}

TEST_F(SendCommandTest, AnAlarmThatFailsEveryTryEndsWithExitCode1) {
  gw.write_settings();
  gw.install_table("db3_report.dbf", "plant");
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.failure = sim::SmsFailure::Error; });
  start_gateway();
  ProgramRun failed = send({"--wait=60", "--scenario", "plant", "--entry", "0", "0791234567", "Fire alarm hall 2"});
  EXPECT_EQ(failed.exit_code, 1) << failed.out << failed.err;
  EXPECT_NE(failed.out.find(": failed"), std::string::npos) << failed.out;
  EXPECT_EQ(gw.modem.sms().size(), 2u) << "both tries of RetryCount 2";
  EXPECT_EQ(files_in(gw.error()).size(), 1u);
}

TEST_F(SendCommandTest, WithNoGatewayTheJobWaitsAndTheGatewayStartedLaterSendsItOnce) {
  gw.write_settings();
  make_folders();
  ProgramRun waited = send({"--wait=60", "0791234567", "Queued while the gateway was down"});
  EXPECT_EQ(waited.exit_code, 3) << waited.out << waited.err;
  EXPECT_NE(waited.out.find("no gateway holds the watch folder " + gw.watch().string()), std::string::npos) << waited.out;
  ASSERT_EQ(files_in(gw.watch()).size(), 1u) << "the job stays queued";

  ProgramRun queued = send({"0791234567", "Queued without waiting"});
  EXPECT_EQ(queued.exit_code, 0) << "queued is all it says without --wait";
  EXPECT_NE(queued.err.find("no gateway holds the watch folder"), std::string::npos) << queued.err;

  gw.start();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2 && files_in(gw.watch()).empty(); }));
  EXPECT_EQ(test::accepted_texts(gw.modem),
            (std::map<std::string, int>{{"Queued while the gateway was down", 1}, {"Queued without waiting", 1}}));
}

TEST_F(SendCommandTest, ARefusedRequestWritesNothing) {
  gw.write_settings();
  make_folders();
  test::TempFolder elsewhere;
  // Root may write anywhere; the user nobody may not write a folder of the group root.
  fs::permissions(gw.watch(), fs::perms::owner_all | fs::perms::group_all);
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"0791234567", ""}, "refused: no text to send"},
      {{"", "text"}, "refused: no number"},
      {{"--mms", (gw.folder / "absent.jpg").string(), "--scenario", "plant", "--entry", "0", "0791234567", "x"}, "does not exist"},
      {{"--scenario", "../plant", "--entry", "0", "1", "x"}, "does not name a report table"},
      {{"--instance", elsewhere.path().string(), "1", "x"}, "no QZGSMS.INI in"},
      {{"--wait=0", "1", "x"}, "--wait=SECONDS takes"},  // a usage error
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    ProgramRun refused = send(c.args);
    EXPECT_EQ(refused.exit_code, 2) << refused.err;
    EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_TRUE(fs::is_empty(gw.watch())) << "nothing written, not even a temporary file";
  }
  if (::getuid() != 0) GTEST_SKIP() << "SKIPPED: only root can run it as a user who may not write the watch folder";
  test::ProgramSetup nobody;
  nobody.unprivileged = true;
  ProgramRun refused = send({"1", "x"}, "", nobody);
  EXPECT_EQ(refused.exit_code, 2) << refused.err;
  EXPECT_NE(refused.err.find("you may not write in the watch folder " + gw.watch().string() +
                             " (Permission denied): members of the group root may; nothing is queued"),
            std::string::npos)
      << refused.err;
  EXPECT_TRUE(fs::is_empty(gw.watch()));
}

// Runs at once from as many shells: each job arrives whole and once.
TEST_F(SendCommandTest, ManyRunsAtOnceGiveAsManyJobsNoneLostNoneReadHalfWritten) {
  const int runs = std::getenv("QZGSMS_SEND_RUNS") ? std::atoi(std::getenv("QZGSMS_SEND_RUNS")) : 200;
  gw.write_settings();
  start_gateway();
  test::TempFolder results;
  const std::string padding(120, 'x');
  ProgramRun all = test::run_program(
      {"/bin/sh", "-c",
       "send=$1 instance=$2 results=$3 runs=$4 padding=$5; i=0\n"
       "while [ $i -lt $runs ]; do i=$((i + 1))\n"
       "  ( \"$send\" --instance \"$instance\" 0791234567 \"Alarm $i of $runs $padding\" >\"$results/$i.out\" 2>&1\n"
       "    echo $? >\"$results/$i.rc\" ) &\n"
       "done\nwait\n",
       "sh", QZGSMS_SEND, gw.folder.path().string(), results.path().string(), std::to_string(runs), padding},
      {{}, false, std::chrono::minutes(5)});
  ASSERT_EQ(all.exit_code, 0) << all.err;

  std::set<std::string> names;
  std::map<std::string, int> expected;
  for (int i = 1; i <= runs; ++i) {
    const std::string rc = test::read_file(results / (std::to_string(i) + ".rc"));
    const std::string out = test::read_file(results / (std::to_string(i) + ".out"));
    EXPECT_EQ(rc, "0\n") << out;
    names.insert(out);
    expected["Alarm " + std::to_string(i) + " of " + std::to_string(runs) + " " + padding] = 1;
  }
  EXPECT_EQ(names.size(), static_cast<std::size_t>(runs)) << "each job under a name of its own";
  // Every job filed: sent, or failed when the loaded machine kept the modem's answer past
  // the gateway's (fast) time-out, which is the modem's business and not the sender's.
  auto filed = [&] { return files_in(gw.done()).size() + files_in(gw.error()).size(); };
  ASSERT_TRUE(eventually([&] { return filed() == static_cast<std::size_t>(runs) && fs::is_empty(gw.watch()); },
                         std::chrono::seconds(30 + runs / 2)))
      << filed() << " of " << runs << " filed";
  // Each filed copy is one whole job as it was written: a job read half written would be a
  // bad request or a text cut short.
  std::map<std::string, int> read;
  for (const fs::path& folder : {gw.done(), gw.error()}) {
    for (const std::string& name : files_in(folder)) ++read[parse_job_file(test::read_file(folder / name), name).Message];
  }
  EXPECT_EQ(read, expected);
  EXPECT_EQ(gw.daily_log().find("Bad request"), std::string::npos);
  for (const auto& [text, times] : test::accepted_texts(gw.modem)) {
    EXPECT_EQ(expected.count(text), 1u) << text;
    EXPECT_EQ(times, 1) << "sent once: " << text;
  }
}

}  // namespace
}  // namespace qz
