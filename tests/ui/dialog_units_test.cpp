#include "ui/qt/dialog_units.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

namespace qz::ui {
namespace {

// The base units of the original 8-point dialog font on a 96 dpi screen.
constexpr DialogBaseUnits kSmallFont{6, 13};

TEST(DialogUnitsTest, QuarterCharacterAcrossEighthDown) {
  EXPECT_EQ(DialogXToPixels(4, kSmallFont), 6);
  EXPECT_EQ(DialogYToPixels(8, kSmallFont), 13);
  EXPECT_EQ(DialogSizeToPixels(QSize(436, 372), kSmallFont), QSize(654, 605));
  EXPECT_EQ(DialogSizeToPixels(QSize(24, 59), kSmallFont), QSize(36, 96));
}

TEST(DialogUnitsTest, RoundsToTheNearestPixelWithHalvesAwayFromZero) {
  EXPECT_EQ(DialogXToPixels(1, kSmallFont), 2);   // 1.5
  EXPECT_EQ(DialogXToPixels(-1, kSmallFont), -2);
  EXPECT_EQ(DialogYToPixels(1, kSmallFont), 2);   // 1.625
  EXPECT_EQ(DialogYToPixels(3, kSmallFont), 5);   // 4.875
  EXPECT_EQ(DialogYToPixels(4, kSmallFont), 7);   // 6.5
  EXPECT_EQ(DialogYToPixels(-4, kSmallFont), -7);
  EXPECT_EQ(DialogXToPixels(0, kSmallFont), 0);
}

TEST(DialogUnitsTest, PositionAndSizeOfARectangleConvertEachOnItsOwn) {
  // The log list: at (7, 228), 382 x 86 units.
  EXPECT_EQ(DialogRectToPixels(QRect(7, 228, 382, 86), kSmallFont), QRect(11, 371, 573, 140));
  // Two controls of one width have one width in pixels wherever they sit.
  EXPECT_EQ(DialogRectToPixels(QRect(7, 0, 65, 14), kSmallFont).width(),
            DialogRectToPixels(QRect(78, 0, 65, 14), kSmallFont).width());
}

TEST(DialogUnitsTest, BaseUnitsOfAFixedPitchFontAreOneCharacterAndTheLineHeight) {
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setPixelSize(13);
  if (!QFontInfo(font).fixedPitch()) GTEST_SKIP() << "no fixed-pitch font here";
  const QFontMetrics metrics(font);
  const DialogBaseUnits base = DialogBaseUnitsOf(font);
  EXPECT_EQ(base.x, metrics.horizontalAdvance(QLatin1Char('M')));
  EXPECT_EQ(base.y, metrics.height());
}

TEST(DialogUnitsTest, LargerFontsGiveLargerDialogs) {
  QFont small;
  small.setPixelSize(11);
  QFont large = small;
  large.setPixelSize(22);
  const DialogBaseUnits a = DialogBaseUnitsOf(small);
  const DialogBaseUnits b = DialogBaseUnitsOf(large);
  EXPECT_GT(a.x, 0);
  EXPECT_GT(b.x, a.x);
  EXPECT_GT(b.y, a.y);
}

}  // namespace
}  // namespace qz::ui
