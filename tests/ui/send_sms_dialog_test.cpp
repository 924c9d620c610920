#include "ui/qt/dialogs/send_sms_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "ui/qt/controls/color_label.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/dialogs/send_mms_dialog.h"
#include "dialog_fixture.h"

namespace qz::ui {
namespace {

using testing::ExpectControlsFit;
using testing::InstanceFolder;
using testing::ScopedAppFont;
using testing::ShowNow;

const QColor kRedText(255, 0, 0);

class SendSmsDialogTest : public ::testing::Test {
 protected:
  static QComboBox* Number(QDialog& d) { return d.findChild<QComboBox*>("phoneNumber"); }
  static QPlainTextEdit* Message(QDialog& d) { return d.findChild<QPlainTextEdit*>("message"); }
  static CColorLabel* Counter(QDialog& d) { return d.findChild<CColorLabel*>("counter"); }

  // One use of the dialog: types `number` and presses Send.
  void SendTo(const QString& number) {
    CSendSmsDialog dialog(folder_.file());
    Number(dialog)->setEditText(number);
    dialog.findChild<QPushButton*>("send")->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
  }
  QStringList Listed() {
    CSendSmsDialog dialog(folder_.file());
    QStringList items;
    for (int i = 0; i < Number(dialog)->count(); ++i) items << Number(dialog)->itemText(i);
    return items;
  }
  std::string Key(int k) {
    return folder_.file().read_text("LastPhoneNums", std::to_string(k), "<missing>", 64);
  }

  InstanceFolder folder_;
};

TEST_F(SendSmsDialogTest, ElevenNumbersLeaveTheLastTenNewestFirst) {
  for (int n = 1; n <= 11; ++n)
    SendTo(QStringLiteral("+4917000000%1").arg(n, 2, 10, QLatin1Char('0')));
  QStringList expected;
  for (int n = 11; n >= 2; --n)
    expected << QStringLiteral("+4917000000%1").arg(n, 2, 10, QLatin1Char('0'));
  EXPECT_EQ(Listed(), expected);
  EXPECT_EQ(Key(1), "+491700000011");
  EXPECT_EQ(Key(10), "+491700000002");
  EXPECT_EQ(Key(11), "<missing>");
  EXPECT_EQ(folder_.Bytes().find("+491700000001\n"), std::string::npos);
}

TEST_F(SendSmsDialogTest, ANumberAlreadyListedKeepsItsPlaceAndTheFileItsBytes) {
  for (int n = 1; n <= 10; ++n) SendTo(QStringLiteral("0891000%1").arg(n));
  const std::string before = folder_.Bytes();
  SendTo(QStringLiteral("0891000%1").arg(6));  // key "5"
  EXPECT_EQ(folder_.Bytes(), before);

  // Picked from the list rather than typed: the same.
  CSendSmsDialog dialog(folder_.file());
  Number(dialog)->setCurrentIndex(4);
  dialog.findChild<QPushButton*>("send")->click();
  EXPECT_EQ(dialog.PhoneNumber(), "08910006");
  EXPECT_EQ(folder_.Bytes(), before);
}

TEST_F(SendSmsDialogTest, TheListIsReadAsStoredSkippingEmptyKeysAndSeeingSixtyThreeCharacters) {
  folder_.file().write_text("LastPhoneNums", "2", "0711 1");
  folder_.file().write_text("LastPhoneNums", "1", "");
  folder_.file().write_text("LastPhoneNums", "5", std::string(70, '7'));
  folder_.file().write_text("LastPhoneNums", "4", "+33 1\xe9");  // a byte of 8859-1
  EXPECT_EQ(Listed(), (QStringList{"0711 1", QStringLiteral("+33 1\u00e9"), QString(63, '7')}));

  // Typed again as shown, the cut long entry counts as listed: nothing moves.
  const std::string before = folder_.Bytes();
  SendTo(QString(63, '7'));
  SendTo(QStringLiteral("+33 1\u00e9"));
  EXPECT_EQ(folder_.Bytes(), before);
}

TEST_F(SendSmsDialogTest, AnEmptyNumberBecomesAnEmptyNewestKeyThatIsNotListed) {
  SendTo(QStringLiteral("111"));
  SendTo(QStringLiteral("222"));
  SendTo(QString());
  EXPECT_EQ(Key(1), "");
  EXPECT_EQ(Key(2), "222");
  EXPECT_EQ(Key(3), "111");
  EXPECT_EQ(Listed(), (QStringList{"222", "111"}));
}

TEST_F(SendSmsDialogTest, EnterInTheNumberFieldSendsWhatWasTyped) {
  SendTo(QStringLiteral("+4917012345"));
  CSendSmsDialog dialog(folder_.file());
  ShowNow(dialog);
  // Typed as a prefix of a stored number: no completion may make it that number.
  QLineEdit* typed = Number(dialog)->lineEdit();
  typed->setFocus();
  for (const QChar c : QStringLiteral("+4917")) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(typed, &press);
  }
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(typed, &enter);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.PhoneNumber(), "+4917");
  EXPECT_EQ(Key(1), "+4917");
  EXPECT_EQ(Key(2), "+4917012345");
}

TEST_F(SendSmsDialogTest, CancelLeavesTheHistoryAlone) {
  SendTo(QStringLiteral("111"));
  const std::string before = folder_.Bytes();
  CSendSmsDialog dialog(folder_.file());
  Number(dialog)->setEditText(QStringLiteral("999"));
  dialog.findChild<QPushButton*>("cancel")->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(folder_.Bytes(), before);
}

TEST_F(SendSmsDialogTest, OneHistoryServesBothSendDialogs) {
  {
    CSendMmsDialog mms(folder_.file());
    mms.findChild<QComboBox*>("phoneNumber")->setEditText(QStringLiteral("+4930123"));
    mms.findChild<QPushButton*>("send")->click();
  }
  EXPECT_EQ(Listed(), QStringList{"+4930123"});
}

TEST_F(SendSmsDialogTest, TheNumberIsEightBitTextAndTheMessageUtf8) {
  CSendSmsDialog dialog(folder_.file());
  EXPECT_EQ(Number(dialog)->currentText(), QString()) << "opens on no number";
  EXPECT_EQ(dialog.Flash(), 0);
  Number(dialog)->setEditText(QStringLiteral(" +49 170 12 "));
  Message(dialog)->setPlainText(QStringLiteral("Gr\u00fc\u00dfe \u20ac \U0001F600\nEnde"));
  dialog.findChild<QCheckBox*>("flash")->setChecked(true);
  EXPECT_EQ(dialog.PhoneNumber(), " +49 170 12 ");
  EXPECT_EQ(dialog.Message(), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80\nEnde");
  EXPECT_EQ(dialog.Flash(), 1);
}

TEST_F(SendSmsDialogTest, CounterCountsWhatTheModemWillSend) {
  CSendSmsDialog dialog(folder_.file());
  CSendSmsDialog joined(folder_.file(), nullptr, true);
  ShowNow(dialog);
  CColorLabel* counter = Counter(dialog);
  const QColor window_text = counter->TextColour();
  EXPECT_EQ(counter->text(), "0 / 160");
  EXPECT_EQ(counter->font().families().value(0), "LcdD");
  EXPECT_EQ(counter->font().pixelSize(), 18);
  EXPECT_NE(window_text, kRedText);

  const QString e_acute(QChar(0xE9));
  const QString euro(QChar(0x20AC));
  const QString zhe(QChar(0x0436));
  const QString grin = QStringLiteral("\U0001F600");
  struct Case {
    QString text;
    bool concatenated;
    const char* shown;
    bool red;  // more than one part
  };
  const Case cases[] = {
      {QString(160, 'a'), false, "160 / 160", false},
      {QString(161, 'a'), false, "161 / 160", true},
      {QString(159, 'a') + e_acute, false, "160 / 160", false},  // in the GSM alphabet
      {QString(158, 'a') + euro, false, "160 / 160", false},    // escaped: two septets
      {QString(159, 'a') + euro, false, "161 / 160", true},
      {QString(161, 'a'), true, "161 / 153", true},
      {QString(160, 'a'), true, "160 / 160", false},
      {zhe.repeated(70), false, "70 / 70", false},
      {zhe.repeated(71), false, "71 / 70", true},
      {zhe.repeated(71), true, "71 / 67", true},
      {zhe.repeated(68) + grin, false, "70 / 70", false},  // a surrogate pair is two units
      {QString(),  false, "0 / 160", false},
  };
  for (const Case& c : cases) {
    CSendSmsDialog& d = c.concatenated ? joined : dialog;
    SCOPED_TRACE(c.shown);
    Message(d)->setPlainText(c.text);
    EXPECT_EQ(Counter(d)->text(), c.shown);
    EXPECT_EQ(Counter(d)->TextColour() == kRedText, c.red);
  }
}

TEST_F(SendSmsDialogTest, TheMessageTakesNoMoreThanTwoThousandCharacters) {
  CSendSmsDialog dialog(folder_.file());
  QPlainTextEdit* message = Message(dialog);
  message->setPlainText(QString(2500, 'a'));
  EXPECT_EQ(message->toPlainText(), QString(2000, 'a'));
  EXPECT_EQ(Counter(dialog)->text(), "2000 / 160");

  // Pasted into the middle of a nearly full text: what fits goes in, the rest is refused
  // and the text after the cursor stays.
  message->setPlainText(QString(1000, 'a') + QString(998, 'z'));
  QTextCursor cursor = message->textCursor();
  cursor.setPosition(1000);
  message->setTextCursor(cursor);
  message->insertPlainText(QStringLiteral("1234"));
  EXPECT_EQ(message->toPlainText(), QString(1000, 'a') + "12" + QString(998, 'z'));
  EXPECT_EQ(message->textCursor().position(), 1002);

  // A character outside the basic plane is one character and is never cut in half.
  message->setPlainText(QString(1999, 'a'));
  message->moveCursor(QTextCursor::End);
  message->insertPlainText(QStringLiteral("\U0001F600\U0001F600"));
  EXPECT_EQ(message->toPlainText(), QString(1999, 'a') + QStringLiteral("\U0001F600"));
  EXPECT_EQ(dialog.Message(), std::string(1999, 'a') + "\xF0\x9F\x98\x80");
}

TEST_F(SendSmsDialogTest, SizedInDialogUnitsAndEveryControlFits) {
  for (const int pixels : {13, 22}) {
    SCOPED_TRACE(pixels);
    ScopedAppFont font(pixels);
    folder_.file().write_text("LastPhoneNums", "1", "+49 170 1234567");
    CSendSmsDialog dialog(folder_.file());
    ShowNow(dialog);
    const QSize units = DialogSizeToPixels(QSize(355, 111), DialogBaseUnitsOf(dialog.font()));
    EXPECT_GE(dialog.width(), units.width());
    EXPECT_GE(dialog.height(), units.height());
    EXPECT_EQ(dialog.windowTitle(), "Send SMS");
    Message(dialog)->setPlainText(QString(2000, '8'));
    ExpectControlsFit(dialog);
  }
}

}  // namespace
}  // namespace qz::ui
