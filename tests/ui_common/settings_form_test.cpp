// The settings sheet's fields as both front ends fill and read them.
#include "ui/settings_form.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "ui/mode_fields.h"

namespace qz::ui {
namespace {

Settings Sample() {
  Settings s;
  s.Port = "COM3";
  s.Mode = "96,N,8,1";
  s.PIN = "1234";
  s.RetryCount = 3;
  s.RetryDelay = 120;
  s.QualityPollEverySecs = 5000;
  s.TechAlarmNbr = 7;
  s.SleepMinAfterAlarm = 30;
  s.VoiceCallDuration = 20;
  s.MMSPortType = "1";
  s.MMSContentType = "application/vnd.wap.mms-message";
  return s;
}

TEST(ModeFieldsTest, FourRunsOfLettersAndDigitsOrNothing) {
  EXPECT_EQ(SplitMode("96,N,8,1"), (ModeFields{"96", "N", "8", "1"}));
  EXPECT_EQ(SplitMode("1152,e,7,2,more;stuff"), (ModeFields{"1152", "e", "7", "2"}));
  EXPECT_EQ(SplitMode("96,N,8,1.5"), (ModeFields{"96", "N", "8", "1"}));
  for (const char* mode : {"", "96,N,8", "96,N,8,", "96,,N,8,1", " 96,N,8,1", "96;N;8;1", "96,N,8 ,1"})
    EXPECT_EQ(SplitMode(mode), ModeFields{}) << '"' << mode << '"';
  EXPECT_EQ(JoinMode({"192", "", "", ""}), "192,,,");
}

TEST(SettingsFormTest, OpensOnTheRecordAndCopiesBackWhatWasTyped) {
  Settings settings = Sample();
  ModeFields mode;
  GlobalSettingsFields global = GlobalFieldsOf(settings, &mode);
  EXPECT_EQ(global.baud_rate, "96");
  EXPECT_EQ(global.parity, "N");
  EXPECT_EQ(global.quality_poll, "5");  // held in milliseconds, shown in seconds
  EXPECT_EQ(global.retry_count, "3");

  global.baud_rate = "192";
  global.parity = "E";            // shown only
  global.quality_poll = " 7 ";    // blanks around a number are fine
  global.retry_count = "abc";     // no digits: 0
  global.pin = "123456789012";    // cut to the record's capacity
  global.port = "C\xC3\xB6M9";    // UTF-8 in the control, ISO 8859-1 in the record
  ASSERT_FALSE(FirstRefusedField(global));
  CopyGlobalFields(global, mode, settings);
  EXPECT_EQ(settings.Mode, "192,N,8,1");
  EXPECT_EQ(settings.QualityPollEverySecs, 7000);
  EXPECT_EQ(settings.RetryCount, 0);
  EXPECT_EQ(settings.PIN, "123456789");
  EXPECT_EQ(settings.Port, "C\xF6M9");

  MmsSettingsFields mms = MmsFieldsOf(settings);
  mms.content_type = "text/plain";  // shown only: written back unchanged
  mms.port_type = "123456789";
  CopyMmsFields(mms, settings);
  EXPECT_EQ(settings.MMSContentType, "application/vnd.wap.mms-message");
  EXPECT_EQ(settings.MMSPortType, "1234567");
}

TEST(SettingsFormTest, TheFirstNumberFieldInPageOrderThatIsNoNumberOfItsKindIsRefused) {
  const struct {
    std::string GlobalSettingsFields::*field;
    const char* text;
    std::optional<GlobalNumberField> refused;
  } cases[] = {
      {&GlobalSettingsFields::retry_delay, "-1", GlobalNumberField::kRetryDelay},  // unsigned
      {&GlobalSettingsFields::retry_delay, "2147483648", GlobalNumberField::kRetryDelay},
      {&GlobalSettingsFields::voice_call, "-5", std::nullopt},  // int
      {&GlobalSettingsFields::voice_call, "5s", GlobalNumberField::kVoiceCall},
      {&GlobalSettingsFields::quality_poll, "2147484", GlobalNumberField::kQualityPoll},  // x 1000 overflows
      {&GlobalSettingsFields::quality_poll, "2147483", std::nullopt},
      {&GlobalSettingsFields::tech_alarm, "", GlobalNumberField::kTechAlarm},
      {&GlobalSettingsFields::sleep_after_alarm, "+", GlobalNumberField::kSleepAfterAlarm},
  };
  for (const auto& c : cases) {
    ModeFields mode;
    GlobalSettingsFields fields = GlobalFieldsOf(Sample(), &mode);
    fields.*c.field = c.text;
    const auto refused = FirstRefusedField(fields);
    ASSERT_EQ(refused.has_value(), c.refused.has_value()) << c.text;
    if (refused) {
      EXPECT_EQ(refused->field, *c.refused) << c.text;
      EXPECT_FALSE(refused->prompt.empty());
    }
  }
  ModeFields mode;
  GlobalSettingsFields two_wrong = GlobalFieldsOf(Sample(), &mode);
  two_wrong.sleep_after_alarm = "x";
  two_wrong.voice_call = "y";
  EXPECT_EQ(FirstRefusedField(two_wrong)->field, GlobalNumberField::kVoiceCall);
}

TEST(SettingsFormTest, PortListOffersComOneToEightThenTheMachinesOwnPortsOnce) {
  EXPECT_EQ(PortChoices({"COM3", "COM12", "/dev/ttyUSB0"}),
            (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM12",
                                      "/dev/ttyUSB0"}));
}

}  // namespace
}  // namespace qz::ui
