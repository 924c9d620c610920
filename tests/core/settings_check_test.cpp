#include "core/settings_check.h"

#include <gtest/gtest.h>

#include "core/gateway_log.h"

#include "support/temp_folder.h"

namespace qz {
namespace {

using test::read_file;
using test::write_file;
using Kind = SettingsFinding::Kind;

class SettingsCheckTest : public ::testing::Test {
 protected:
  SettingsCheckTest() : file(folder.path()) {}

  // Reads the settings as a start does (or without writing) and checks them.
  void check(bool as_start = true) {
    SettingsReadOutcome read;
    if (as_start) ReadSettings(file, s, folder.path(), nullptr, &read);
    else read = LoadSettings(file, s);
    findings = check_settings(file, s, folder.path(), read);
  }
  std::vector<std::string> said(Kind kind) const {
    std::vector<std::string> texts;
    for (const auto& f : findings) {
      if (f.kind == kind) texts.push_back(f.text);
    }
    return texts;
  }
  std::string at(const char* name) const { return (folder / name).string(); }

  test::TempFolder folder;
  SettingsFile file;
  Settings s;
  std::vector<SettingsFinding> findings;
};

TEST(NearestNameTest, SuggestsOnlyAKeyCloseEnoughToHaveBeenMeant) {
  std::vector<std::string_view> known;
  for (const ConfigKey& key : config_keys()) known.emplace_back(key.name);
  EXPECT_EQ(edit_distance("Prot", "PORT"), 1u) << "a swap of neighbours is one slip, case aside";
  EXPECT_EQ(nearest_name("Prot", known), "Port");
  EXPECT_EQ(nearest_name("retrycont", known), "RetryCount");
  EXPECT_EQ(nearest_name("SleepMinAfterAlarms", known), "SleepMinAfterAlarm");
  EXPECT_EQ(nearest_name("Colour", known), "");
  EXPECT_EQ(nearest_name("Pxrx", known), "") << "short names get one edit only";
}

TEST_F(SettingsCheckTest, MisspeltKeysAndNumbersThatAreNotNumbersAreSaidWithWhatIsUsed) {
  for (const char* name : {"jobs", "done", "error"}) std::filesystem::create_directory(folder / name);
  write_file(folder / "QZGSMS.INI",
             "[Config]\nWatchPath=jobs\nDonePath=done\nErrorPath=error\nWatchLogPath=.\n"
             "Prot=/dev/ttyUSB0\nRetryCont=3\nColour=blue\nprot=again\n; Port=/dev/ttyS0 commented out\n"
             "PORT=/dev/ttyUSB1\nRetryDelay=12x\nMaxMsgLength=abc\nTechAlarmNbr=-9x\n"
             "VoiceCallDuration=99999999999\nSleepMinAfterAlarm=\"30\"\nDSC=\n[WatchDog]\nOther=1\n");
  check();
  EXPECT_EQ(said(Kind::kUnknownKey),
            (std::vector<std::string>{"unknown key 'Prot' \u2014 did you mean 'Port'?",
                                      "unknown key 'RetryCont' \u2014 did you mean 'RetryCount'?",
                                      "unknown key 'Colour' in [Config]: ignored"}));
  // The value used is the one in effect: the leading digits, the default for -9, and a
  // MaxMsgLength of 0 brought up to the default. The start stores 8999 over "-9x", which
  // is still reported as the file had it.
  EXPECT_EQ(said(Kind::kNotANumber),
            (std::vector<std::string>{"RetryDelay=12x is not a number: 12 is used",
                                      "TechAlarmNbr=-9x is not a number: 8999 is used",
                                      "MaxMsgLength=abc is not a number: 800 is used",
                                      "VoiceCallDuration=99999999999 is out of range: 600 is used"}));
}

TEST_F(SettingsCheckTest, FoldersInUseThatAreMissingAreProblemsAndThoseTheStartMakesAreNotes) {
  write_file(folder / "QZGSMS.INI", "[Config]\nWatchPath=jobs\nDonePath=no\\such\\done\nErrorPath=error\nWatchLogPath=tables\n");
  const auto before = read_file(folder / "QZGSMS.INI");

  // Without writing: jobs and error do not exist yet, but the start would make them.
  check(false);
  EXPECT_EQ(said(Kind::kFolderCreatedAtStart),
            (std::vector<std::string>{"WatchPath " + at("jobs") + " does not exist yet: the gateway creates it at start",
                                      "ErrorPath " + at("error") + " does not exist yet: the gateway creates it at start"}));
  EXPECT_EQ(said(Kind::kFolderMissing),
            (std::vector<std::string>{"DonePath " + at("no/such/done") + " does not exist: sent jobs cannot be filed",
                                      "WatchLogPath " + at("tables") + " does not exist: no report table can be updated"}));
  EXPECT_EQ(read_file(folder / "QZGSMS.INI"), before);
  EXPECT_FALSE(std::filesystem::exists(folder / "jobs"));

  // The start makes what it can; done and error are not in use when jobs are not moved.
  write_file(folder / "QZGSMS.INI", "[Config]\nMoveJobToDoneOrErrorPath=0\nWatchPath=jobs\nDonePath=no\\such\\done\n");
  check();
  EXPECT_EQ(said(Kind::kFolderMissing),
            (std::vector<std::string>{"WatchLogPath /qzt/log does not exist: no report table can be updated and no job filed"}));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "jobs"));
}

TEST_F(SettingsCheckTest, JobFoldersInsideEachOtherAreMadeInTurnAndATrailingSeparatorChangesNothing) {
  std::filesystem::create_directory(folder / "tables");
  write_file(folder / "QZGSMS.INI",
             "[Config]\nWatchPath=jobs\\\nDonePath=jobs\\done\nErrorPath=jobs\\error/\nWatchLogPath=tables\\\n");
  check(false);
  EXPECT_EQ(said(Kind::kFolderMissing), std::vector<std::string>{});
  EXPECT_EQ(said(Kind::kFolderCreatedAtStart).size(), 3u);
  // And the start does make them all.
  check();
  EXPECT_EQ(said(Kind::kFolderMissing), std::vector<std::string>{});
  EXPECT_EQ(said(Kind::kFolderCreatedAtStart), std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::is_directory(folder / "jobs" / "error"));
}

// The reader, the writers and the check each name the keys; a key one of them spells
// differently would be warned of at every start.
TEST_F(SettingsCheckTest, EveryKeyTheGatewayWritesIsOneTheCheckKnows) {
  write_file(folder / "QZGSMS.INI", "[Config]\nWatchLogPath=.\n");
  check();  // the start writes the defaults of the missing keys
  s.Port = "/dev/ttyUSB0";
  s.PIN = "1234";
  s.Number = "+41790000000";
  GatewayLog log(folder.path());
  ASSERT_EQ(SaveSettings(file, s, log), 0);  // the settings sheet writes what it edits
  check(false);
  EXPECT_EQ(said(Kind::kUnknownKey), std::vector<std::string>{});
}

TEST_F(SettingsCheckTest, SettingsThatCannotBeReadOrWrittenAreSaidAndTheDefaultsStillHold) {
  check(false);
  EXPECT_EQ(said(Kind::kNoSettingsFile),
            (std::vector<std::string>{"No QZGSMS.INI in " + folder.path().string() +
                                      ": every setting takes its default (Port COM2)"}));

  // A UTF-16 file with a damaged character reads, but is never rewritten: it would lose it.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[Config]\r\nWatchPath=jobs\r\nWatchLogPath=.\r\n")) utf16 += std::string{c, '\0'};
  write_file(folder / "QZGSMS.INI", utf16 + std::string("\x00\xD8", 2));
  check();
  auto lines = said(Kind::kSettingsNotWritable);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "QZGSMS.INI cannot be written (" + at("QZGSMS.INI") +
                          ": Invalid or incomplete multibyte or wide character): the defaults of missing keys and "
                          "the time of a technical alarm are not stored");
  EXPECT_EQ(s.RetryCount, 5) << "the default holds although it could not be stored";

  // A failed write once left the folder settings empty, which named the instance folder.
  std::filesystem::remove(folder / "QZGSMS.INI");
  std::filesystem::create_directory(folder / "QZGSMS.INI");
  check();
  EXPECT_EQ(said(Kind::kSettingsUnreadable),
            (std::vector<std::string>{"QZGSMS.INI cannot be read (" + at("QZGSMS.INI") +
                                      ": not a regular file): every setting takes its default (Port COM2)"}));
  EXPECT_EQ(s.WatchPath, "\\qzt\\qzgsms");
  EXPECT_EQ(s.CmdLineFormat, "incoming_sms.bat \"%s\" \"%s\"");
}

}  // namespace
}  // namespace qz
