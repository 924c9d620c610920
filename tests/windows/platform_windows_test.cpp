// The Windows platform layer where it differs from Linux in ways the jobs rely on.
#include <gtest/gtest.h>

#include <thread>

#include "core/paths.h"
#include "gateway/folder_lock.h"
#include "jobs/folder_watch.h"
#include "modem/port_name.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

// Folder settings keep their drive on Windows; a folder without one is on the instance's.
TEST(PathsWindows, FolderSettingsKeepTheirDrive) {
  const std::filesystem::path instance = "C:\\srv\\gsm1";
  struct Case {
    const char* setting;
    const char* folder;
  } cases[] = {
      {"\\qzt\\qzgsms", "C:\\qzt\\qzgsms"},
      {"D:\\qzt\\log", "D:\\qzt\\log"},
      {"d:/qzt/log/", "d:\\qzt\\log"},
      {"jobs\\done\\", "C:\\srv\\gsm1\\jobs\\done"},
  };
  for (const Case& c : cases) EXPECT_EQ(folder_from_setting(instance, c.setting).native(), std::filesystem::path(c.folder).native()) << c.setting;
  EXPECT_EQ(join_folder_and_name(instance, "E:\\tables", "plant.dbf").native(), L"E:\\tables\\plant.dbf");
}

TEST(PortNameWindows, ComNamesAreDevicesEverythingElseAPath) {
  struct Case {
    const char* port;
    const char* device;
  } cases[] = {
      {"COM1", "\\\\.\\COM1"},      {"com12:", "\\\\.\\COM12"}, {"\\\\.\\COM256", "\\\\.\\COM256"},
      {"COM257", "COM257"},         {"COM01", "COM01"},         {"D:\\modem", "D:\\modem"},
  };
  for (const Case& c : cases) EXPECT_EQ(device_path_for_port(c.port), c.device) << c.port;
}

// Windows also matches a mask against a file's short 8.3 name, so FindFirstFile("*.sms")
// finds "x.smsx" too; the gateway's mask must see only the real name.
TEST(FolderWatchWindows, MaskMatchesTheRealNameOnlyWithoutRegardToCase) {
  test::TempFolder folder;
  for (const char* name : {"a.sms", "B.SMS", "c.smsx", "d.sms.tmp", "job1.sms", "job12.sms"})
    test::write_file(folder / name, "x");
  std::filesystem::create_directory(folder / "e.sms");
  EXPECT_EQ(list_matching_files(folder.path(), "*.sms"),
            (std::vector<std::string>{"B.SMS", "a.sms", "job1.sms", "job12.sms"}));
  EXPECT_EQ(list_matching_files(folder.path(), "JOB?.sms"), (std::vector<std::string>{"job1.sms"}));
}

TEST(FolderWatchWindows, WakesWhenAFileIsWrittenAndNotOtherwise) {
  test::TempFolder folder;
  FolderWatch watch(folder.path());
  ASSERT_TRUE(watch.active());
  EXPECT_FALSE(watch.wait(50));
  std::thread writer([&] { test::write_file(folder / "job.sms", "[Alarm]\r\n"); });
  EXPECT_TRUE(watch.wait(10000));
  writer.join();
}

// A claimed folder stays open to the alarm application: it lists it and writes jobs in it.
TEST(FolderLockWindows, SecondClaimIsOursAndTheFolderStaysUsable) {
  test::TempFolder folder;
  FolderLock::Claim first = FolderLock::claim(folder.path());
  ASSERT_EQ(first.outcome, FolderLock::Claim::kClaimed) << error_line(first.error);
  EXPECT_EQ(FolderLock::claim(folder.path()).outcome, FolderLock::Claim::kOurs);
  EXPECT_TRUE(folder_holder(folder.path()).has_value());

  test::write_file(folder / "job.sms", "x");
  EXPECT_EQ(list_matching_files(folder.path(), "*.sms"), (std::vector<std::string>{"job.sms"}));

  first.lock = FolderLock();
  EXPECT_FALSE(folder_holder(folder.path()).has_value());
  EXPECT_EQ(FolderLock::claim(folder.path()).outcome, FolderLock::Claim::kClaimed);
}

}  // namespace
}  // namespace qz
