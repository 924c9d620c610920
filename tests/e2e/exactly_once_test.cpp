// Every alarm goes out once and its job file is filed with its own content, however the
// job file is rescanned, rewritten, linked or interrupted. Each test runs the real
// headless gateway against the simulated modem.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <poll.h>

#include "core/clock.h"
#include "e2e/e2e_support.h"
#include "e2e/gateway_process.h"
#include "jobs/database.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::accepted_texts;
using test::eventually;
using test::GatewayTest;
using test::files_in;
using test::read_file;
using test::sms_job;
using test::write_file;

constexpr const char* kNote = " ALARM successfully sent";

int status_of(const fs::path& table, int record) {
  CDatabase db;
  int status = -1;
  if (db.Open(table.string()) == 1 && db.Go(record) == 0) db.GetField("STATUS", status);
  db.Close();
  return status;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void rewrite_in_place(const fs::path& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

class ExactlyOnceTest : public GatewayTest {
 protected:
  bool started() {
    return eventually([&] { return gw.daily_log().find("SignalThread started") != std::string::npos; });
  }
};

TEST_F(ExactlyOnceTest, AlarmKeyJobsAreSentOnceHoweverOftenTheFolderIsScanned) {
  gw.write_settings("WatchTimeout=1\nVoiceCallDuration=2\n");
  gw.install_table("gdal_report.dbf", "plant");
  write_file(gw.folder / "QZAMSG.INI",
             "[Messages]\r\nK1=Pump 1 failed\r\nK2=Pump 2 failed\r\nK3=Pump 3 failed\r\nK4=Hall flooded\r\n");
  // A slow modem keeps every job in the table through many scans.
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 150ms; });
  gw.start();
  for (int k = 1; k <= 3; ++k) {
    gw.drop_job("k" + std::to_string(k) + ".sms",
                "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=55" + std::to_string(k) + "\r\nAlarmKey=K" +
                    std::to_string(k) + "\r\ndbentry=" + std::to_string(k - 1) + "\r\n");
    std::this_thread::sleep_for(30ms);
  }
  gw.drop_job("vc.sms", "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=0791234567\r\nAlarmKey=K4\r\n"
                        "dbentry=3\r\nContentType=VC\r\n");
  gw.drop_job("nokey.sms", "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=559\r\nAlarmKey=K9\r\ndbentry=4\r\n");

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 5; }, 30s));
  std::this_thread::sleep_for(300ms);  // many more scans at the fast clock
  EXPECT_EQ(accepted_texts(gw.modem),
            (std::map<std::string, int>{{"ALARM K9", 1}, {"Pump 1 failed", 1}, {"Pump 2 failed", 1},
                                        {"Pump 3 failed", 1}}));
  EXPECT_EQ(gw.modem.calls().size(), 1u);
  EXPECT_EQ(files_in(gw.done()).size(), 5u);
}

TEST_F(ExactlyOnceTest, FilingNeverReplacesAFileAlreadyFiled) {
  gw.write_settings();
  gw.start();
  gw.drop_job("bad.sms", "[Alarm]\r\nSzenario=plant\r\nMessage=first bad request\r\n");
  // Dropped under the same name the moment the first copy shows: often before the first
  // file has left the watch folder. Neither may be lost.
  ASSERT_TRUE(eventually([&] { return files_in(gw.error()).size() == 1; }));
  gw.drop_job("bad.sms", "[Alarm]\r\nSzenario=plant\r\nMessage=second bad request\r\n");
  ASSERT_TRUE(eventually([&] { return files_in(gw.error()).size() == 2; }));

  EXPECT_EQ(files_in(gw.error()), (std::vector<std::string>{"bad-1.sms", "bad.sms"}));
  EXPECT_NE(read_file(gw.error() / "bad.sms").find("first bad request"), std::string::npos);
  EXPECT_NE(read_file(gw.error() / "bad-1.sms").find("second bad request"), std::string::npos);
  EXPECT_TRUE(eventually([&] { return gw.daily_log().find("bad.sms existed already: filed as") != std::string::npos; }));
}

TEST_F(ExactlyOnceTest, JobFileRewrittenInPlaceIsFiledWithItsOwnContentAndTheNewAlarmGoesOut) {
  gw.write_settings();
  gw.install_table("gdal_report.dbf", "plant");
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 300ms; });
  gw.start();
  gw.drop_job("r.sms", sms_job("111", "first alarm", 0));
  // The modem holds the first text; the alarm application reuses the file meanwhile.
  ASSERT_TRUE(eventually([&] { return gw.modem.sms().size() == 1; }));
  rewrite_in_place(gw.watch() / "r.sms", sms_job("111", "second alarm", 1));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2 && files_in(gw.watch()).empty(); }));
  EXPECT_EQ(accepted_texts(gw.modem),
            (std::map<std::string, int>{{"first alarm", 1}, {"second alarm", 1}}));
  std::vector<std::string> filed;
  for (const auto& name : files_in(gw.done())) filed.push_back(read_file(gw.done() / name));
  std::sort(filed.begin(), filed.end());
  ASSERT_EQ(filed.size(), 2u);
  // Each is its own job file's bytes with the note after them.
  EXPECT_TRUE(filed[0].starts_with(sms_job("111", "first alarm", 0))) << filed[0];
  EXPECT_TRUE(filed[1].starts_with(sms_job("111", "second alarm", 1))) << filed[1];
  EXPECT_TRUE(ends_with(filed[0], kNote) && ends_with(filed[1], kNote));
  EXPECT_EQ(status_of(gw.folder / "tables/plant.dbf", 1), 8);
  EXPECT_EQ(status_of(gw.folder / "tables/plant.dbf", 2), 8);
}

TEST_F(ExactlyOnceTest, StopInTheMiddleOfASendEndsTheSendReportsItAndExitsCleanly) {
  gw.write_settings();
  gw.install_table("gdal_report.dbf", "plant");
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 300ms; });
  gw.start();
  for (int i = 0; i < 3; ++i) gw.drop_job("s" + std::to_string(i) + ".sms", sms_job("20" + std::to_string(i), "stop test " + std::to_string(i), i));
  ASSERT_TRUE(eventually([&] { return gw.modem.sms().size() == 1; }));

  EXPECT_EQ(gw.stop(), 0);
  EXPECT_EQ(accepted_texts(gw.modem), (std::map<std::string, int>{{"stop test 0", 1}}));
  ASSERT_EQ(files_in(gw.done()).size(), 1u) << "the send that was in progress is reported";
  EXPECT_TRUE(ends_with(read_file(gw.done() / files_in(gw.done())[0]), kNote));
  EXPECT_EQ(files_in(gw.watch()).size(), 2u);
  EXPECT_EQ(status_of(gw.folder / "tables/plant.dbf", 1), 8);

  gw.start();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 3; }));
  EXPECT_EQ(accepted_texts(gw.modem),
            (std::map<std::string, int>{{"stop test 0", 1}, {"stop test 1", 1}, {"stop test 2", 1}}));
}

TEST_F(ExactlyOnceTest, TextEntryLeftOpenByAnEarlierRunIsCancelledNotSent) {
  // An earlier run was killed after the prompt, in the middle of a text.
  {
    int fd = ::open(gw.modem.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    std::string started = "at+cmgs=\"5550100\"\r";
    ASSERT_EQ(::write(fd, started.data(), started.size()), static_cast<ssize_t>(started.size()));
    ASSERT_TRUE(gw.modem.wait_for_command("AT+CMGS", 5s));
    ASSERT_EQ(::write(fd, "half an ala", 11), 11);
    ::usleep(50000);
    ::close(fd);
  }
  gw.write_settings();
  gw.start();
  ASSERT_TRUE(started());
  EXPECT_TRUE(accepted_texts(gw.modem).empty()) << "nothing was sent to 5550100";
  ASSERT_FALSE(gw.modem.sms().empty());
  EXPECT_EQ(gw.modem.sms()[0].number, "5550100");
  EXPECT_FALSE(gw.modem.sms()[0].accepted);
}

TEST_F(ExactlyOnceTest, JobSentButNotFiledBeforeAKillIsFiledAfterTheRestartWithoutASecondSend) {
  gw.write_settings("DonePath=missing\\parent\\done\n");
  gw.install_table("gdal_report.dbf", "plant");
  gw.start();
  gw.drop_job("j.sms", sms_job("333", "sent before the crash", 0));
  ASSERT_TRUE(eventually([&] { return gw.daily_log().find("could not move") != std::string::npos; }));
  gw.kill();
  EXPECT_EQ(status_of(gw.folder / "tables/plant.dbf", 1), 8);

  gw.write_settings();
  gw.start();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1 && files_in(gw.watch()).empty(); }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(accepted_texts(gw.modem), (std::map<std::string, int>{{"sent before the crash", 1}}));
  std::string filed = read_file(gw.done() / files_in(gw.done())[0]);
  EXPECT_TRUE(ends_with(filed, kNote));
  // The note carries the time of the send, kept in the journal across the restart.
  LocalTime today = local_time(std::chrono::system_clock::now());
  EXPECT_NE(filed.find("\r\n" + std::to_string(today.year) + "."), std::string::npos) << filed;
  EXPECT_NE(gw.daily_log().find("not sent again"), std::string::npos);
}

TEST_F(ExactlyOnceTest, LinkedJobFilesAreNeverFollowed) {
  if (!test::gateway_sees_symbolic_links()) GTEST_SKIP() << "the gateway sees no link here";
  test::TempFolder outside;
  std::string job = sms_job("444", "through a link", 0, "");
  write_file(outside / "j2.txt", job);
  write_file(outside / "victim.txt", "belongs to someone else");
  gw.write_settings();
  gw.start();
  ASSERT_TRUE(started());
  fs::create_directories(gw.watch());
  fs::create_symlink(outside / "j2.txt", gw.watch() / "c2.sms");

  ASSERT_TRUE(eventually([&] { return files_in(gw.watch()).empty(); }));
  // Whatever the link points at later, the gateway no longer holds it.
  fs::path filed = gw.error() / "c2.sms";
  ASSERT_TRUE(fs::is_symlink(filed));
  fs::remove(filed);
  fs::create_symlink(outside / "victim.txt", filed);
  std::this_thread::sleep_for(300ms);

  EXPECT_TRUE(gw.modem.sms().empty());
  EXPECT_EQ(read_file(outside / "j2.txt"), job);
  EXPECT_EQ(read_file(outside / "victim.txt"), "belongs to someone else");
  EXPECT_NE(gw.daily_log().find("not a regular file"), std::string::npos);
}

TEST_F(ExactlyOnceTest, ScenarioNeverNamesATableOutsideTheReportFolder) {
  gw.write_settings();
  fs::create_directories(gw.folder / "victim");
  test::TempFolder elsewhere;
  fs::copy_file(fs::path(QZGSMS_FIXTURES_DIR) / "dbf/gdal_report.dbf", gw.folder / "victim/VICTIM.dbf");
  fs::copy_file(fs::path(QZGSMS_FIXTURES_DIR) / "dbf/gdal_report.dbf", elsewhere / "VICTIM.dbf");
  std::string relative_before = read_file(gw.folder / "victim/VICTIM.dbf");
  std::string absolute_before = read_file(elsewhere / "VICTIM.dbf");
  gw.start();
  gw.drop_job("rel.sms", sms_job("501", "relative", 0, "../victim/VICTIM"));
  gw.drop_job("abs.sms", sms_job("502", "absolute", 0, (elsewhere / "VICTIM").string()));
  gw.drop_job("win.sms", sms_job("503", "windows", 0, "..\\victim\\VICTIM"));

  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 3; }));
  EXPECT_EQ(accepted_texts(gw.modem).size(), 3u) << "the alarms still go out";
  EXPECT_EQ(read_file(gw.folder / "victim/VICTIM.dbf"), relative_before);
  EXPECT_EQ(read_file(elsewhere / "VICTIM.dbf"), absolute_before);
  EXPECT_NE(gw.daily_log().find("does not name a report table"), std::string::npos);
}

TEST_F(ExactlyOnceTest, HugeFloodProtectionIsClampedAndTheGatewayStillWorks) {
  gw.write_settings("FloodProtection=2147483647\n");
  gw.start();
  gw.drop_job("f.sms", sms_job("600", "paced", 0, ""));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }, 60s));
  EXPECT_EQ(accepted_texts(gw.modem), (std::map<std::string, int>{{"paced", 1}}));
  EXPECT_NE(gw.daily_log().find("FloodProtection 2147483647 ms is too long"), std::string::npos);
}

TEST_F(ExactlyOnceTest, AnyNameTheWatchFolderHoldsIsFiled) {
  struct Row {
    std::size_t length;  // of the job file's name, in bytes
    bool bad_request;    // filed under its own name, not a time-stamped one
    bool name_taken;     // a file of that name is in the error folder already
  };
  const std::vector<Row> rows = {{200, false, false}, {240, false, false}, {250, false, false},
                                 {255, false, false}, {250, true, true},   {255, true, true}};
  gw.write_settings();
  fs::create_directories(gw.error());
  std::vector<std::string> jobs;
  std::map<std::string, int> texts;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string name = std::to_string(i) + std::string(rows[i].length - 5, 'n') + ".sms";
    std::string text = "long name " + std::to_string(i);
    jobs.push_back(rows[i].bad_request ? "[Alarm]\r\nMessage=" + text + "\r\n" : sms_job("90" + std::to_string(i), text, 0, ""));
    if (!rows[i].bad_request) texts[text] = 1;
    if (rows[i].name_taken) write_file(gw.error() / name, "an earlier one");
    gw.drop_job(name, jobs.back());
  }
  gw.start();

  ASSERT_TRUE(eventually([&] { return files_in(gw.watch()).empty() && files_in(gw.done()).size() == 4; }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(accepted_texts(gw.modem), texts);
  std::map<std::string, int> copies;
  for (const fs::path& folder : {gw.done(), gw.error()}) {
    for (const std::string& name : files_in(folder)) {
      EXPECT_LE(name.size(), 255u);
      EXPECT_TRUE(ends_with(name, ".sms")) << name;
      std::string bytes = read_file(folder / name);
      for (const std::string& job : jobs) copies[job] += bytes.starts_with(job);
    }
  }
  for (const std::string& job : jobs) EXPECT_EQ(copies[job], 1) << job;
  EXPECT_EQ(files_in(gw.error()).size(), 4u) << "the earlier ones stay";
  EXPECT_EQ(gw.daily_log().find("could not move"), std::string::npos);
  EXPECT_NE(gw.daily_log().find("is too long for a file name: filed as"), std::string::npos);
}

TEST_F(ExactlyOnceTest, JobFilesWaitingAtStartAreReadAtOnce) {
  gw.write_settings("WatchTimeout=100000\n");
  gw.drop_job("waiting.sms", sms_job("700", "waited for the start", 0, ""));
  gw.start();
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 1; }));
  EXPECT_EQ(accepted_texts(gw.modem), (std::map<std::string, int>{{"waited for the start", 1}}));
}

TEST_F(ExactlyOnceTest, AFiledJobFileHoldsItsNoteTheMomentItsNameAppears) {
  gw.write_settings();
  gw.start();
  int watch = ::inotify_init1(IN_CLOEXEC);
  fs::create_directories(gw.done());
  ASSERT_GE(::inotify_add_watch(watch, gw.done().c_str(), IN_CREATE | IN_MOVED_TO | IN_MODIFY), 0);
  const int jobs = 8;
  for (int i = 0; i < jobs; ++i) gw.drop_job("n" + std::to_string(i) + ".sms", sms_job("80" + std::to_string(i), "note " + std::to_string(i), 0, ""));

  // Read each file as soon as its name shows, as a program watching the folder would; a
  // file that is still written to after its name showed could have been read without it.
  std::vector<std::string> incomplete;
  int seen = 0;
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (seen < jobs && std::chrono::steady_clock::now() < deadline) {
    pollfd p{watch, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    alignas(inotify_event) char buffer[4096];
    ssize_t n = ::read(watch, buffer, sizeof buffer);
    for (ssize_t off = 0; off < n;) {
      auto* event = reinterpret_cast<inotify_event*>(buffer + off);
      std::string name = event->len > 0 ? event->name : "";
      off += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (name.empty() || name[0] == '.') continue;  // the hidden copy being written
      if ((event->mask & IN_MODIFY) != 0) {
        incomplete.push_back(name + " was written to after it appeared");
        continue;
      }
      ++seen;
      std::string content = read_file(gw.done() / name);
      if (!ends_with(content, kNote)) incomplete.push_back(name + ": " + content);
    }
  }
  ::close(watch);
  EXPECT_EQ(seen, jobs);
  EXPECT_TRUE(incomplete.empty()) << incomplete.front();
}

}  // namespace
}  // namespace qz
