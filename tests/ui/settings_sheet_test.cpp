#include "ui/qt/dialogs/settings_sheet.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>

#include "core/gateway_log.h"
#include "core/settings.h"
#include "ui/qt/dialog_units.h"
#include "dialog_fixture.h"

namespace qz::ui {
namespace {

using testing::ExpectControlsFit;
using testing::InstanceFolder;
using testing::RecordedPrompts;
using testing::ScopedAppFont;
using testing::ShowNow;

// The settings the sheet edits, for comparing whole records.
auto Editable(const Settings& s) {
  return std::tie(s.Port, s.Mode, s.PIN, s.Number, s.RetryCount, s.RetryDelay, s.IncomingEnable,
                  s.QualityPollEverySecs, s.TechAlarmNbr, s.SleepMinAfterAlarm, s.VoiceCallDuration,
                  s.MMSURLServer, s.MMSAPN, s.MMSIPAddress, s.MMSLogin, s.MMSPWD, s.MMSPortType,
                  s.MMSContentType);
}

class SettingsSheetTest : public ::testing::Test {
 protected:
  // A settings file as an operator leaves it: the job folders inside the instance folder.
  void Start(const std::string& config_lines) {
    folder_.Write("[Config]\nWatchPath=watch\nDonePath=done\nErrorPath=error\n" + config_lines);
    ReadSettings(folder_.file(), settings_, folder_.folder());
    Open();
  }
  void Open() {
    sheet_ = std::make_unique<CSettingsSheet>(settings_, folder_.file(), log_, nullptr,
                                              std::vector<std::string>{"/dev/ttyUSB0"});
    sheet_->SetPromptHandler(prompts_.Handler());
    ShowNow(*sheet_);
  }
  QLineEdit* Edit(const char* name) { return sheet_->findChild<QLineEdit*>(name); }
  QComboBox* Combo(const char* name) { return sheet_->findChild<QComboBox*>(name); }
  QTabWidget* Tabs() { return sheet_->findChild<QTabWidget*>("pages"); }
  void Ok() { sheet_->findChild<QPushButton*>("ok")->click(); }
  std::string Stored(const char* key) {
    return folder_.file().read_text("Config", key, "<missing>", 300);
  }

  InstanceFolder folder_;
  GatewayLog log_{folder_.folder()};
  Settings settings_;
  RecordedPrompts prompts_;
  std::unique_ptr<CSettingsSheet> sheet_;
};

TEST_F(SettingsSheetTest, ModeShowsBaudRateAndParityAndIsRebuiltFromTheBaudRate) {
  Start("Mode=96,N,8,1\n");
  EXPECT_EQ(Edit("baudRate")->text(), "96");
  EXPECT_EQ(Edit("parity")->text(), "N");
  EXPECT_FALSE(Edit("parity")->isEnabled());
  Edit("baudRate")->setText(QStringLiteral("192"));
  Edit("parity")->setText(QStringLiteral("E"));  // shown only, never read back
  Ok();
  EXPECT_EQ(sheet_->result(), QDialog::Accepted);
  EXPECT_EQ(settings_.Mode, "192,N,8,1");
  EXPECT_EQ(Stored("Mode"), "192,N,8,1");
}

TEST_F(SettingsSheetTest, AModeWithBlanksAfterTheCommasOpensEmpty) {
  Start("Mode=96, N, 8, 1\n");
  EXPECT_EQ(Edit("baudRate")->text(), "");
  EXPECT_EQ(Edit("parity")->text(), "");
  Edit("baudRate")->setText(QStringLiteral("96"));
  Ok();
  EXPECT_EQ(Stored("Mode"), "96,,,");
}

TEST_F(SettingsSheetTest, PollPeriodIsShownInSecondsAndHeldInMilliseconds) {
  Start("QualityPollEverySecs=5\n");
  EXPECT_EQ(settings_.QualityPollEverySecs, 5000);
  EXPECT_EQ(Edit("qualityPoll")->text(), "5");
  Edit("qualityPoll")->setText(QStringLiteral("7"));
  Ok();
  EXPECT_EQ(settings_.QualityPollEverySecs, 7000);
  EXPECT_EQ(Stored("QualityPollEverySecs"), "7");

  settings_.QualityPollEverySecs = 2999;  // shown truncated
  Open();
  EXPECT_EQ(Edit("qualityPoll")->text(), "2");
}

TEST_F(SettingsSheetTest, RetriesAreTheLeadingNumberOfTheirText) {
  Start("");
  const std::pair<const char*, int32_t> cases[] = {{"abc", 0}, {"3 times", 3}, {"12", 12}, {"", 0}};
  for (const auto& [text, count] : cases) {
    SCOPED_TRACE(text);
    Combo("retryCount")->setEditText(QLatin1String(text));
    Ok();
    EXPECT_EQ(sheet_->result(), QDialog::Accepted);
    EXPECT_EQ(settings_.RetryCount, count);
    EXPECT_EQ(Stored("RetryCount"), std::to_string(count));
    Open();
  }
  EXPECT_EQ(Combo("retryCount")->currentText(), "0");
}

TEST_F(SettingsSheetTest, AnEmptyPinLeavesTheStoredPinAndALongOneIsCut) {
  Start("PIN=1234\n");
  EXPECT_EQ(Edit("pin")->text(), "1234");
  EXPECT_EQ(Edit("pin")->echoMode(), QLineEdit::Normal);
  Edit("pin")->clear();
  Ok();
  EXPECT_EQ(settings_.PIN, "");
  EXPECT_EQ(Stored("PIN"), "1234");

  Open();
  Edit("pin")->setText(QStringLiteral("123456789012"));
  Ok();
  EXPECT_EQ(settings_.PIN, "123456789");
  EXPECT_EQ(Stored("PIN"), "123456789");
}

TEST_F(SettingsSheetTest, OkWithoutEditsSavesEverythingAndAsksForARestart) {
  Start("MMSLogin=J\xe9r\xf4me\nNumber=+49 89 1\n");
  const Settings before = settings_;
  ASSERT_EQ(Stored("Port"), "<missing>");
  Ok();
  EXPECT_EQ(sheet_->result(), QDialog::Accepted);
  EXPECT_EQ(Editable(settings_), Editable(before));
  EXPECT_EQ(Stored("Port"), "COM2");
  EXPECT_EQ(Stored("Mode"), "96,N,8,1");
  // Bytes that are no valid UTF-8 go back as they came.
  EXPECT_EQ(Stored("MMSLogin"), "J\xe9r\xf4me");
  EXPECT_EQ(Stored("Number"), "+49 89 1");
  ASSERT_EQ(prompts_.boxes.size(), 1u);
  EXPECT_EQ(prompts_.boxes[0].title, "WARNING");
  EXPECT_EQ(prompts_.boxes[0].text,
            "You need to restart the application for taking in account new parameters");
  EXPECT_EQ(prompts_.boxes[0].icon, QMessageBox::Warning);
}

TEST_F(SettingsSheetTest, CancelAfterEditsChangesNeitherTheRecordNorTheFile) {
  Start("PIN=1234\nMode=96,N,8,1\n");
  const Settings before = settings_;
  const std::string bytes = folder_.Bytes();
  Combo("port")->setEditText(QStringLiteral("/dev/ttyUSB0"));
  Edit("baudRate")->setText(QStringLiteral("1152"));
  Edit("pin")->setText(QStringLiteral("9999"));
  Edit("retryDelay")->setText(QStringLiteral("30"));
  sheet_->findChild<QCheckBox*>("incomingEnable")->setChecked(false);
  Tabs()->setCurrentIndex(1);
  Edit("apn")->setText(QStringLiteral("internet.t-d1.de"));
  sheet_->findChild<QPushButton*>("cancel")->click();
  EXPECT_EQ(sheet_->result(), QDialog::Rejected);
  EXPECT_EQ(Editable(settings_), Editable(before));
  EXPECT_EQ(folder_.Bytes(), bytes);
  EXPECT_TRUE(prompts_.boxes.empty());
}

TEST_F(SettingsSheetTest, ANumberThatDoesNotParseKeepsItsPageOpen) {
  Start("");
  const Settings before = settings_;
  const std::string bytes = folder_.Bytes();
  Edit("retryDelay")->setText(QStringLiteral("2 min"));
  Tabs()->setCurrentIndex(1);
  EXPECT_EQ(Tabs()->currentIndex(), 0) << "the page with the bad field comes back";
  ASSERT_EQ(prompts_.boxes.size(), 1u);
  EXPECT_EQ(Edit("retryDelay")->selectedText(), "2 min");

  Tabs()->setCurrentIndex(1);
  Tabs()->setCurrentIndex(0);
  Ok();
  EXPECT_TRUE(sheet_->isVisible());
  EXPECT_EQ(prompts_.boxes.size(), 3u);
  EXPECT_EQ(Editable(settings_), Editable(before));
  EXPECT_EQ(folder_.Bytes(), bytes);

  Edit("retryDelay")->setText(QStringLiteral("30"));
  Tabs()->setCurrentIndex(1);
  EXPECT_EQ(Tabs()->currentIndex(), 1);
  Ok();
  EXPECT_EQ(sheet_->result(), QDialog::Accepted);
  EXPECT_EQ(Stored("RetryDelay"), "30");
}

TEST_F(SettingsSheetTest, EveryNumberFieldIsCheckedOnOk) {
  Start("");
  const std::pair<const char*, const char*> refused[] = {
      {"retryDelay", "-1"},          // unsigned
      {"retryDelay", "2147483648"},  // beyond the 32-bit field
      {"qualityPoll", "2147484"},    // its milliseconds would not fit
      {"qualityPoll", ""},           // empty
      {"techAlarmNbr", "89x"},       // trailing letter
      {"sleepMinAfterAlarm", " "},   // blank
      {"voiceCallDuration", "1e3"},  // not a whole number as typed
  };
  for (const auto& [field, text] : refused) {
    SCOPED_TRACE(std::string(field) + " = \"" + text + '"');
    Open();
    prompts_.boxes.clear();
    Tabs()->setCurrentIndex(1);
    Edit(field)->setText(QLatin1String(text));
    Ok();
    EXPECT_TRUE(sheet_->isVisible());
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_NE(prompts_.boxes[0].title, "WARNING");
    EXPECT_EQ(sheet_->focusWidget(), Edit(field));
  }
  // Signed where they are ints; the largest period that fits.
  Open();
  Edit("techAlarmNbr")->setText(QStringLiteral("-5"));
  Edit("qualityPoll")->setText(QStringLiteral(" 2147483 "));
  Ok();
  EXPECT_EQ(sheet_->result(), QDialog::Accepted);
  EXPECT_EQ(settings_.TechAlarmNbr, -5);
  EXPECT_EQ(settings_.QualityPollEverySecs, 2147483000);
}

TEST_F(SettingsSheetTest, GlobalPageCopiesBackWhatItShows) {
  Start(
      "Port=/dev/ttyUSB3\nNumber=+4917012\nRetryCount=3\nRetryDelay=60\nIncomingEnable=1\n"
      "TechAlarmNbr=8000\nSleepMinAfterAlarm=30\nVoiceCallDuration=15\n");
  EXPECT_EQ(Combo("port")->currentText(), "/dev/ttyUSB3");
  EXPECT_EQ(Edit("phoneNumber")->text(), "+4917012");
  EXPECT_EQ(Combo("retryCount")->currentText(), "3");
  EXPECT_EQ(Edit("retryDelay")->text(), "60");
  EXPECT_TRUE(sheet_->findChild<QCheckBox*>("incomingEnable")->isChecked());
  EXPECT_EQ(Edit("techAlarmNbr")->text(), "8000");
  EXPECT_EQ(Edit("sleepMinAfterAlarm")->text(), "30");
  EXPECT_EQ(Edit("voiceCallDuration")->text(), "15");

  Combo("port")->setCurrentIndex(Combo("port")->findText("COM4"));
  Edit("phoneNumber")->setText(QStringLiteral("+4917099"));
  Combo("retryCount")->setCurrentIndex(Combo("retryCount")->findText("7"));
  Edit("retryDelay")->setText(QStringLiteral("90"));
  sheet_->findChild<QCheckBox*>("incomingEnable")->setChecked(false);
  Edit("techAlarmNbr")->setText(QStringLiteral("8001"));
  Edit("sleepMinAfterAlarm")->setText(QStringLiteral("45"));
  Edit("voiceCallDuration")->setText(QStringLiteral("20"));
  Ok();
  EXPECT_EQ(settings_.Port, "COM4");
  EXPECT_EQ(settings_.Number, "+4917099");
  EXPECT_EQ(settings_.RetryCount, 7);
  EXPECT_EQ(settings_.RetryDelay, 90);
  EXPECT_EQ(settings_.IncomingEnable, 0);
  EXPECT_EQ(settings_.TechAlarmNbr, 8001);
  EXPECT_EQ(settings_.SleepMinAfterAlarm, 45);
  EXPECT_EQ(settings_.VoiceCallDuration, 20);
  EXPECT_EQ(Stored("Port"), "COM4");
  EXPECT_EQ(Stored("IncomingEnable"), "0");
  EXPECT_EQ(Stored("VoiceCallDuration"), "20");
}

TEST_F(SettingsSheetTest, MmsPageCopiesBackItsTextsAndKeepsTheContentType) {
  Start("MMSContentType=application/vnd.wap.multipart.related\nMMSPortType=1\n");
  Tabs()->setCurrentIndex(1);
  EXPECT_EQ(Combo("portType")->currentText(), "1");
  EXPECT_FALSE(Edit("contentType")->isEnabled());
  EXPECT_EQ(Edit("password")->echoMode(), QLineEdit::Normal);
  Edit("urlServer")->setText(QStringLiteral("http://mms.example.net/servlets/mms"));
  Edit("apn")->setText(QStringLiteral("mms.example"));
  Edit("ipAddress")->setText(QStringLiteral("10.0.0.10"));
  Edit("login")->setText(QStringLiteral("mms"));
  Edit("password")->setText(QStringLiteral("secret"));
  Combo("portType")->setEditText(QStringLiteral("0123456789"));
  Edit("contentType")->setText(QStringLiteral("text/plain"));
  Ok();
  EXPECT_EQ(settings_.MMSURLServer, "http://mms.example.net/servlets/mms");
  EXPECT_EQ(settings_.MMSAPN, "mms.example");
  EXPECT_EQ(settings_.MMSIPAddress, "10.0.0.10");
  EXPECT_EQ(settings_.MMSLogin, "mms");
  EXPECT_EQ(settings_.MMSPWD, "secret");
  EXPECT_EQ(settings_.MMSPortType, "0123456");  // 8 bytes with the terminator
  EXPECT_EQ(settings_.MMSContentType, "application/vnd.wap.multipart.related");
  EXPECT_EQ(Stored("MMSPWD"), "secret");
  EXPECT_EQ(Stored("MMSPortType"), "0123456");
}

TEST_F(SettingsSheetTest, TheSystemsOwnTextsStandAsTheyAre) {
  Start("");
  EXPECT_EQ(sheet_->windowTitle(), "Settings");
  EXPECT_EQ(Tabs()->tabText(0), "Global");
  EXPECT_EQ(Tabs()->tabText(1), "MMS");
  QStringList labels;
  for (const QLabel* label : sheet_->findChildren<QLabel*>()) labels << label->text();
  const char* const texts[] = {"COM Port",
                               "Baud rate",
                               "Parity",
                               "PIN Number",
                               "Phone Number",
                               "Retires on Error",
                               "every",
                               "seconds",
                               "Refresh Signal Indicator every",
                               "Start watchdog tech-alarm on error:",
                               "Do not check after tech-alarm for:",
                               "minutes",
                               "Voice call minimum duration",
                               "incoming batch file synthax: \"incoming.bat  [PhoneNum] [Msg] \"",
                               "URL Server",
                               "Access Point Name",
                               "IP Address",
                               "Login",
                               "Password",
                               "Port Type",
                               "Content Type"};
  for (const char* text : texts) EXPECT_TRUE(labels.contains(QLatin1String(text))) << text;
  EXPECT_EQ(sheet_->findChild<QCheckBox*>("incomingEnable")->text(), "Enable Incoming");
}

TEST_F(SettingsSheetTest, PortListOffersComOneToEightThenTheDevicesFound) {
  Start("Port=COM2\n");
  QStringList items;
  for (int i = 0; i < Combo("port")->count(); ++i) items << Combo("port")->itemText(i);
  EXPECT_EQ(items, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8",
                                "/dev/ttyUSB0"}));
  EXPECT_EQ(Combo("port")->currentIndex(), 1);
}

TEST_F(SettingsSheetTest, BothPagesAreSizedInDialogUnitsAndEveryControlFits) {
  for (const int pixels : {13, 22}) {
    SCOPED_TRACE(pixels);
    ScopedAppFont font(pixels);
    Start("Port=/dev/serial/by-id/usb-Sierra_Wireless_MC7304-if03-port0\n");
    const QSize page = DialogSizeToPixels(QSize(300, 290), DialogBaseUnitsOf(sheet_->font()));
    for (int index : {0, 1}) {
      Tabs()->setCurrentIndex(index);
      ShowNow(*sheet_);
      QWidget* shown = Tabs()->currentWidget();
      EXPECT_GE(shown->width(), page.width());
      EXPECT_GE(shown->height(), page.height());
      ExpectControlsFit(*shown);
    }
    ExpectControlsFit(*sheet_);
  }
}

}  // namespace
}  // namespace qz::ui
