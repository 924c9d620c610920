#include "core/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/gateway_log.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

using test::read_file;
using test::TempFolder;
using test::write_file;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() : file(folder.path()) {}
  void write_ini(const std::string& body) { write_file(folder / "QZGSMS.INI", "[Config]\n" + body); }
  ProfileFile ini() const { return ProfileFile(folder.path(), "QZGSMS.INI"); }
  std::string stored(const char* key) const { return ini().read_text("Config", key, "<none>", 300); }

  TempFolder folder;
  SettingsFile file;
  Settings s;
};

TEST_F(SettingsTest, AbsentFileIsCreatedWithEveryDefaultButPortModePinAndNumber) {
  ASSERT_EQ(ReadSettings(file, s, folder.path()), 1);

  EXPECT_EQ(s.Port, "COM2");
  EXPECT_EQ(s.Mode, "96,N,8,1");
  EXPECT_EQ(s.WatchTimeout, 4);
  EXPECT_EQ(s.MoveJobToDoneOrErrorPath, 1);
  EXPECT_EQ(s.WatchPath, "\\qzt\\qzgsms");
  EXPECT_EQ(s.DonePath, "\\qzt\\qzgsms\\done");
  EXPECT_EQ(s.ErrorPath, "\\qzt\\qzgsms\\error");
  EXPECT_EQ(s.FileMask, "*.sms");
  EXPECT_EQ(s.WatchLogPath, "\\qzt\\log");
  EXPECT_EQ(s.CmdLineFormat, "incoming_sms.bat \"%s\" \"%s\"");
  EXPECT_EQ(s.MMSContentType, "application/vnd.wap.multipart.mixed");
  EXPECT_EQ(s.RetryCount, 5);
  EXPECT_EQ(s.RetryDelay, 120);
  EXPECT_EQ(s.TechAlarmNbr, 8999);
  EXPECT_EQ(s.SleepMinAfterAlarm, 60);
  EXPECT_EQ(s.MaxMsgLength, 800);
  EXPECT_EQ(s.IncomingEnable, 1);
  EXPECT_EQ(s.QualityPollEverySecs, 5000);
  EXPECT_EQ(s.VoiceCallDuration, 10);

  EXPECT_EQ(stored("WatchTimeout"), "4");
  EXPECT_EQ(stored("MoveJobToDoneOrErrorPath"), "1");
  EXPECT_EQ(stored("WatchPath"), "\\qzt\\qzgsms");
  EXPECT_EQ(stored("WatchLogPath"), "\\qzt\\log");
  EXPECT_EQ(stored("CmdLineFormat"), "incoming_sms.bat \"%s\" \"%s\"");
  for (const char* key : {"MMSURLServer", "MMSAPN", "MMSIPAddress", "MMSPortType", "MMSLogin", "MMSPWD"})
    EXPECT_EQ(stored(key), "") << key;
  EXPECT_EQ(stored("MMSContentType"), "application/vnd.wap.multipart.mixed");
  const std::pair<const char*, const char*> integers[] = {
      {"RetryCount", "5"},         {"RetryDelay", "120"},         {"CapitalizeCommands", "0"},
      {"TechAlarmNbr", "8999"},    {"SleepMinAfterAlarm", "60"},  {"MaxMsgLength", "800"},
      {"FloodProtection", "0"},    {"IncomingEnable", "1"},       {"QualityPollEverySecs", "5"},
      {"EnablePDUMode", "1"},      {"DSC", "0"},                  {"DisplaySMSCInfo", "1"},
      {"VoiceCallDuration", "10"}, {"IncomingPartsWaitSecs", "300"}};
  for (auto [key, value] : integers) EXPECT_EQ(stored(key), value) << key;
  for (const char* key : {"Port", "Mode", "PIN", "Number"}) EXPECT_EQ(stored(key), "<none>") << key;

  // Only the owner may read a file that holds the PIN and the MMS password.
  struct stat st{};
  ASSERT_EQ(::stat(file.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsTest, ValuesInTheFileWinAndOnlyTheMarkerAndTheLengthLimitAreChecked) {
  write_ini(
      "Port=/dev/ttyUSB3\nMode=19,E,7,2\nMaxMsgLength=5000\nRetryCount=-9\nRetryDelay=-3\n"
      "QualityPollEverySecs=7\nPIN=1234\nWatchPath=\nMoveJobToDoneOrErrorPath=0\n");
  ReadSettings(file, s, folder.path());
  EXPECT_EQ(s.Port, "/dev/ttyUSB3");
  EXPECT_EQ(s.Mode, "19,E,7,2");
  EXPECT_EQ(s.MaxMsgLength, 2000);
  EXPECT_EQ(stored("MaxMsgLength"), "2000");
  EXPECT_EQ(s.RetryCount, 5);
  EXPECT_EQ(stored("RetryCount"), "5");
  EXPECT_EQ(s.RetryDelay, -3);
  EXPECT_EQ(s.QualityPollEverySecs, 7000);
  EXPECT_EQ(s.PIN, "1234");
  // Folders are set up whatever the move flag says, so no job lacks a destination.
  EXPECT_EQ(s.MoveJobToDoneOrErrorPath, 0);
  EXPECT_EQ(s.WatchPath, "\\qzt\\qzgsms");
  EXPECT_EQ(s.FileMask, "*.sms");

  write_ini("MaxMsgLength=1999\n");
  ReadSettings(file, s, folder.path());
  EXPECT_EQ(s.MaxMsgLength, 1999);
}

TEST_F(SettingsTest, ValuesThatWouldBreakSendingAreBroughtIntoRangeWithARedLine) {
  std::filesystem::create_directory(folder / "log");
  GatewayLog log(folder.path());
  write_ini("MaxMsgLength=0\nFloodProtection=2147483647\nVoiceCallDuration=2147483647\n");
  ReadSettings(file, s, folder.path(), &log);
  EXPECT_EQ(s.MaxMsgLength, 800) << "0 would send every alarm empty and call it sent";
  EXPECT_EQ(s.FloodProtection, kMaxFloodProtection);
  EXPECT_EQ(s.VoiceCallDuration, kMaxVoiceCallDuration) << "a call held for 68 years blocks the modem";
  std::string logged;
  for (auto& e : std::filesystem::directory_iterator(folder / "log")) logged += read_file(e.path());
  EXPECT_NE(logged.find("MaxMsgLength 0 would send empty messages: 800 used instead"), std::string::npos);
  EXPECT_NE(logged.find("FloodProtection 2147483647 ms is too long: 5000 ms used instead"), std::string::npos);
  EXPECT_NE(logged.find("VoiceCallDuration 2147483647 s is too long: 600 s used instead"), std::string::npos);
  EXPECT_EQ(stored("MaxMsgLength"), "0") << "the file is the operator's";
}

TEST_F(SettingsTest, JobFoldersAreCreatedOneLevelDeepInTheInstanceFolder) {
  write_ini("WatchPath=jobs\nDonePath=jobs\\done\nErrorPath=missing\\parent\\error\n");
  ReadSettings(file, s, folder.path());
  EXPECT_TRUE(std::filesystem::is_directory(folder / "jobs"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "jobs/done"));
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(SettingsTest, SaveWritesEditableKeysKeepsStoredPinAndMasksSecretsInTheEcho) {
  write_ini("PIN=4321\nMMSPWD=old\nCapitalizeCommands=1\n");
  ReadSettings(file, s, folder.path());
  s.PIN.clear();
  s.MMSPWD = "s3cret";
  s.QualityPollEverySecs = 7000;
  s.RetryCount = 3;

  std::filesystem::create_directory(folder / "log");
  GatewayLog log(folder.path());
  struct Sink : WindowSink {
    void notify(int) override {}
  } sink;
  log.register_window(&sink);
  EXPECT_EQ(SaveSettings(file, s, log), 0);

  EXPECT_EQ(stored("PIN"), "4321");
  EXPECT_EQ(stored("MMSPWD"), "s3cret");
  EXPECT_EQ(stored("QualityPollEverySecs"), "7");
  EXPECT_EQ(stored("RetryCount"), "3");
  EXPECT_EQ(stored("Number"), "<none>");

  std::string daily;
  for (auto& entry : std::filesystem::directory_iterator(folder / "log")) daily += read_file(entry.path());
  EXPECT_NE(daily.find("Settings parameters updated"), std::string::npos);
  EXPECT_NE(daily.find("Com Port: COM2.  Com Port settings: 96,N,8,1"), std::string::npos);
  EXPECT_NE(daily.find("Phone Number: . PIN: \n"), std::string::npos);
  EXPECT_NE(daily.find("Retries on Errors 3 every 120 seconds"), std::string::npos);
  EXPECT_NE(daily.find("Enable incoming: 1. Refresh Signal Indicator every 7 seconds"), std::string::npos);
  EXPECT_NE(daily.find("Login:  / Password: **** / Type: "), std::string::npos);
  EXPECT_EQ(daily.find("s3cret"), std::string::npos);

  int lines = 0;
  while (auto line = log.take_pending_line()) {
    EXPECT_EQ(line->color, kGrey);
    ++lines;
  }
  EXPECT_EQ(lines, 11);
}

TEST_F(SettingsTest, LoadGivesWhatTheStartWouldAndWritesAndCreatesNothing) {
  write_ini("WatchPath=\nDonePath=done\nMaxMsgLength=5000\nRetryCount=-9\nFloodProtection=9000\nVoiceCallDuration=-10\n");
  const std::string before = read_file(folder / "QZGSMS.INI");
  Settings loaded;
  SettingsReadOutcome outcome = LoadSettings(file, loaded);
  EXPECT_EQ(outcome.adjusted, (std::vector<std::string>{"MaxMsgLength 5000 is more than a message can hold: 2000 used",
                                                        "FloodProtection 9000 ms is too long: 5000 ms used instead",
                                                        "VoiceCallDuration -10 s is negative: 0 s used, an answered call is hung up at once"}));
  EXPECT_EQ(read_file(folder / "QZGSMS.INI"), before);
  EXPECT_FALSE(std::filesystem::exists(folder / "done"));

  ReadSettings(file, s, folder.path());
  for (const ConfigKey& key : config_keys()) {
    if (key.number) {
      EXPECT_EQ(loaded.*key.field, s.*key.field) << key.name;
    }
  }
  EXPECT_EQ(loaded.WatchPath, s.WatchPath);
  EXPECT_EQ(loaded.MMSContentType, s.MMSContentType);
}

}  // namespace
}  // namespace qz
