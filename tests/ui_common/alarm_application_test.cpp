// The start-up question about the alarm application's flag, as both windows ask it.
#include "ui/alarm_application.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/profile_file.h"
#include "support/temp_folder.h"

namespace qz::ui {
namespace {

TEST(AlarmApplicationTest, AskedWhileTheFlagIsNotSetAndSetOnlyByYes) {
  const struct {
    const char* file;  // qzalarm.ini before the start; null: none
    bool answer;
    bool asked;
    int flag_after;
  } cases[] = {
      {nullptr, true, true, 1},
      {nullptr, false, true, 0},
      {"[qzasms]\nSendWithQzgsms=0\n", true, true, 1},
      {"[qzasms]\nSendWithQzgsms=1\n", false, false, 1},
      {"[other]\nSendWithQzgsms=1\n", false, true, 0},
  };
  for (const auto& c : cases) {
    test::TempFolder folder;
    if (c.file) std::ofstream(folder.path() / "QZALARM.INI") << c.file;  // any case
    bool asked = false;
    const std::string failure = AskSendWithQzgsms(folder.path(), [&](const char* title, const char*) {
      asked = true;
      EXPECT_STREQ(title, "Please confirm..");
      return c.answer;
    });
    EXPECT_EQ(failure, "");
    EXPECT_EQ(asked, c.asked) << (c.file ? c.file : "no file");
    EXPECT_EQ(ProfileFile(folder.path(), "qzalarm.ini").read_int("qzasms", "SendWithQzgsms", 0), c.flag_after);
  }
}

TEST(AlarmApplicationTest, AFlagThatCannotBeWrittenIsReportedNotLost) {
  test::TempFolder folder;
  const std::string failure =
      AskSendWithQzgsms(folder.path() / "no-such-folder", [](const char*, const char*) { return true; });
  EXPECT_NE(failure.find("SendWithQzgsms"), std::string::npos) << failure;
}

}  // namespace
}  // namespace qz::ui
