#include "ui/qt/dialogs/smsc_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "ui/qt/dialog_units.h"
#include "dialog_fixture.h"

namespace qz::ui {
namespace {

using testing::ExpectControlsFit;
using testing::RecordedPrompts;
using testing::ScopedAppFont;
using testing::ShowNow;

class SmscDialogTest : public ::testing::Test {
 protected:
  SmscDialogTest() : dialog_("+491722270333", 145) {
    dialog_.SetPromptHandler(prompts_.Handler());
    ShowNow(dialog_);
  }
  QLineEdit* Number() { return dialog_.findChild<QLineEdit*>("number"); }
  QLineEdit* Plan() { return dialog_.findChild<QLineEdit*>("numberingPlan"); }
  void Ok() { dialog_.findChild<QPushButton*>("ok")->click(); }

  RecordedPrompts prompts_;
  CSmscDialog dialog_;
};

TEST_F(SmscDialogTest, OpensOnTheCurrentCentreAndGivesBackTheEditedOne) {
  EXPECT_EQ(dialog_.windowTitle(), "Change SMSC");
  EXPECT_EQ(Number()->text(), "+491722270333");
  EXPECT_EQ(Plan()->text(), "145");
  Number()->setText(QStringLiteral("0172 2270000"));
  Plan()->setText(QStringLiteral(" 129 "));
  Ok();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(dialog_.Number(), "0172 2270000");
  EXPECT_EQ(dialog_.NumberingPlan(), 129);
  EXPECT_TRUE(prompts_.boxes.empty());
}

TEST_F(SmscDialogTest, APlanThatIsNotANumberFromZeroTo255IsRefused) {
  for (const char* plan : {"256", "99999999999999999999", "", "abc", "-1", "14 5"}) {
    SCOPED_TRACE(plan);
    prompts_.boxes.clear();
    Plan()->setText(QLatin1String(plan));
    Ok();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), 0);
    ASSERT_EQ(prompts_.boxes.size(), 1u);
    EXPECT_EQ(Plan()->selectedText(), QLatin1String(plan));
    EXPECT_EQ(dialog_.focusWidget(), Plan());
    EXPECT_EQ(dialog_.NumberingPlan(), 145) << "a refused plan is not taken";
  }
  EXPECT_TRUE(prompts_.boxes.back().text.contains("positive integer"));
  Plan()->setText(QStringLiteral("256"));
  Ok();
  EXPECT_TRUE(prompts_.boxes.back().text.contains("255"));

  Plan()->setText(QStringLiteral("0"));
  Ok();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(dialog_.NumberingPlan(), 0);
}

TEST_F(SmscDialogTest, TheNumberTakesSixtyFourCharacters) {
  Number()->setText(QString(70, '1'));
  EXPECT_EQ(Number()->text(), QString(64, '1'));
  Number()->setText(QStringLiteral("+49 \u00e9\u20ac"));
  EXPECT_EQ(dialog_.Number(), "+49 \xe9?");
}

TEST_F(SmscDialogTest, CancelKeepsThePlanItOpenedWith) {
  Plan()->setText(QStringLiteral("129"));
  dialog_.findChild<QPushButton*>("cancel")->click();
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
  EXPECT_EQ(dialog_.NumberingPlan(), 145);
  EXPECT_EQ(dialog_.findChild<QPushButton*>("cancel")->text(), "Abbrechen");
}

TEST(SmscDialogLayoutTest, SizedInDialogUnitsAndEveryControlFits) {
  for (const int pixels : {13, 22}) {
    SCOPED_TRACE(pixels);
    ScopedAppFont font(pixels);
    CSmscDialog dialog(std::string(64, '9'), 255);
    ShowNow(dialog);
    const QSize units = DialogSizeToPixels(QSize(247, 84), DialogBaseUnitsOf(dialog.font()));
    EXPECT_GE(dialog.width(), units.width());
    EXPECT_GE(dialog.height(), units.height());
    ExpectControlsFit(dialog);
  }
}

}  // namespace
}  // namespace qz::ui
