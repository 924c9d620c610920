#include "ui/qt/dialogs/send_mms_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <functional>

#include "ui/qt/dialog_units.h"
#include "dialog_fixture.h"

namespace qz::ui {
namespace {

using testing::ExpectControlsFit;
using testing::InstanceFolder;
using testing::RecordedPrompts;
using testing::ScopedAppFont;
using testing::ShowNow;

class SendMmsDialogTest : public ::testing::Test {
 public:
  SendMmsDialogTest() : dialog_(folder_.file()) {
    dialog_.SetPromptHandler(prompts_.Handler());
    ShowNow(dialog_);
  }
  QComboBox* Number() { return dialog_.findChild<QComboBox*>("phoneNumber"); }
  QPlainTextEdit* Subject() { return dialog_.findChild<QPlainTextEdit*>("subject"); }
  QPlainTextEdit* Text() { return dialog_.findChild<QPlainTextEdit*>("text"); }
  QLineEdit* Image() { return dialog_.findChild<QLineEdit*>("imageFile"); }
  QLineEdit* Audio() { return dialog_.findChild<QLineEdit*>("audioFile"); }
  void Send() { dialog_.findChild<QPushButton*>("send")->click(); }

 protected:
  InstanceFolder folder_;
  RecordedPrompts prompts_;
  CSendMmsDialog dialog_;
};

struct LimitCase {
  const char* field;
  int limit;
  std::function<void(SendMmsDialogTest&, const QString&)> fill;
};

class SendMmsLimitTest : public SendMmsDialogTest, public ::testing::WithParamInterface<int> {};

const LimitCase kLimits[] = {
    {"phoneNumber", 20, [](SendMmsDialogTest& t, const QString& v) { t.Number()->setEditText(v); }},
    {"subject", 1000, [](SendMmsDialogTest& t, const QString& v) { t.Subject()->setPlainText(v); }},
    {"text", 2048, [](SendMmsDialogTest& t, const QString& v) { t.Text()->setPlainText(v); }},
    {"imageFile", 512, [](SendMmsDialogTest& t, const QString& v) { t.Image()->setText(v); }},
};

TEST_P(SendMmsLimitTest, AFieldOverItsLimitIsSelectedAndKeepsTheDialogOpen) {
  const LimitCase& c = kLimits[GetParam()];
  SCOPED_TRACE(c.field);
  Number()->setEditText(QStringLiteral("0171"));
  c.fill(*this, QString(c.limit + 1, '5'));
  Send();
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), 0);
  ASSERT_EQ(prompts_.boxes.size(), 1u);
  EXPECT_TRUE(prompts_.boxes[0].text.contains(QString::number(c.limit)))
      << prompts_.boxes[0].text.toStdString();
  EXPECT_EQ(prompts_.boxes[0].title, "Send MMS");
  QWidget* field = dialog_.findChild<QWidget*>(c.field);
  QWidget* focus = dialog_.focusWidget();
  EXPECT_TRUE(focus == field || field->isAncestorOf(focus));
  // Selected whole, ready to be typed over.
  QString selected;
  if (auto* box = qobject_cast<QComboBox*>(field)) selected = box->lineEdit()->selectedText();
  if (auto* line = qobject_cast<QLineEdit*>(field)) selected = line->selectedText();
  if (auto* text = qobject_cast<QPlainTextEdit*>(field))
    selected = text->textCursor().selectedText();
  EXPECT_EQ(selected.size(), c.limit + 1);
  // The number is recorded all the same.
  EXPECT_EQ(folder_.file().read_text("LastPhoneNums", "1", "", 64),
            c.field == std::string("phoneNumber") ? std::string(21, '5') : "0171");

  // At the limit it goes.
  c.fill(*this, QString(c.limit, '5'));
  Send();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(prompts_.boxes.size(), 1u);
}

// Only a text put in whole gets past typing: a number from the history, a picked file.
INSTANTIATE_TEST_SUITE_P(EachFieldFilledWhole, SendMmsLimitTest, ::testing::Values(0, 3));

// Typed a character at a time or pasted, no field takes more than its limit; a line put
// in whole over its limit can still be shortened.
TEST_F(SendMmsDialogTest, TypingStopsAtEachFieldsLimit) {
  for (const LimitCase& c : kLimits) {
    SCOPED_TRACE(c.field);
    QWidget* field = dialog_.findChild<QWidget*>(c.field);
    QLineEdit* line = qobject_cast<QLineEdit*>(field);
    if (auto* box = qobject_cast<QComboBox*>(field)) line = box->lineEdit();
    auto* text = qobject_cast<QPlainTextEdit*>(field);
    auto type = [&](const QString& typed) {
      if (line) line->insert(typed);
      else text->insertPlainText(typed);
    };
    auto length = [&] { return line ? line->text().size() : text->toPlainText().size(); };
    for (int i = 0; i < c.limit + 2; ++i) type(QStringLiteral("5"));
    EXPECT_EQ(length(), c.limit);
    type(QStringLiteral("678"));
    EXPECT_EQ(length(), c.limit);

    if (!line) continue;
    c.fill(*this, QString(c.limit + 5, '5'));
    line->end(false);
    line->backspace();
    EXPECT_EQ(length(), c.limit + 4);
  }
}

TEST_F(SendMmsDialogTest, TheAudioPathHasNoLimitAndEmptyFilesAreFine) {
  Number()->setEditText(QStringLiteral("0171"));
  Text()->setPlainText(QStringLiteral("text only"));
  Send();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(dialog_.ImagePath(), "");
  EXPECT_EQ(dialog_.AudioPath(), "");

  dialog_.setResult(0);
  Audio()->setText(QString(600, 'a'));
  Send();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_TRUE(prompts_.boxes.empty());
}

TEST_F(SendMmsDialogTest, TextsAreEightBitAndPathsAreFileNames) {
  Number()->setEditText(QStringLiteral("+49 171"));
  Subject()->setPlainText(QStringLiteral("St\u00f6rung"));
  Text()->setPlainText(QStringLiteral("Pumpe \u20ac\nHalle 3"));
  Image()->setText(QStringLiteral("/srv/bilder/halle-\u00e4.jpg"));
  Audio()->setText(QStringLiteral("/srv/ton.amr"));
  Send();
  EXPECT_EQ(dialog_.PhoneNumber(), "+49 171");
  EXPECT_EQ(dialog_.Subject(), "St\xf6rung");
  EXPECT_EQ(dialog_.Text(), "Pumpe ?\nHalle 3");
  // As the file system spells the name, so the file is found.
  EXPECT_EQ(dialog_.ImagePath(), "/srv/bilder/halle-\xc3\xa4.jpg");
  EXPECT_EQ(dialog_.AudioPath(), "/srv/ton.amr");
}

TEST(SendMmsDialogLayoutTest, SizedInDialogUnitsAndEveryControlFits) {
  for (const int pixels : {13, 22}) {
    SCOPED_TRACE(pixels);
    ScopedAppFont font(pixels);
    InstanceFolder folder;
    CSendMmsDialog dialog(folder.file());
    ShowNow(dialog);
    const QSize units = DialogSizeToPixels(QSize(351, 242), DialogBaseUnitsOf(dialog.font()));
    EXPECT_GE(dialog.width(), units.width());
    EXPECT_GE(dialog.height(), units.height());
    EXPECT_EQ(dialog.windowTitle(), "Send MMS");
    ExpectControlsFit(dialog);
  }
}

}  // namespace
}  // namespace qz::ui
