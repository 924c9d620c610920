#include "ui/qt/controls/color_label.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>

namespace qz::ui {
namespace {

const QColor kFace(0xC0, 0xC0, 0xC0);
const QColor kWindowText(0x20, 0x20, 0x30);

class ColorLabelTest : public ::testing::Test {
 protected:
  ColorLabelTest() {
    QPalette palette = parent_.palette();
    palette.setColor(QPalette::Button, kFace);
    palette.setColor(QPalette::WindowText, kWindowText);
    parent_.setPalette(palette);
    label_ = new CColorLabel(&parent_);
    label_->setGeometry(0, 0, 160, 40);
    parent_.resize(200, 60);
    parent_.show();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  int CountPixels(QColor colour) const {
    const QImage image = label_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour.rgb();
    return n;
  }

  QWidget parent_;
  CColorLabel* label_;
};

TEST_F(ColorLabelTest, StartsWithTheSystemTextColourOnButtonFace) {
  EXPECT_EQ(label_->TextColour(), kWindowText);
  EXPECT_EQ(label_->BackgroundColour(), kFace);
  EXPECT_EQ(label_->font(), QApplication::font());
  label_->SetText(QStringLiteral("0 / 160"));
  EXPECT_EQ(label_->grab().toImage().pixel(1, 1), kFace.rgb());
  EXPECT_GT(CountPixels(kWindowText), 0);
}

TEST_F(ColorLabelTest, SettersChainAndEachRedrawsAtOnce) {
  const int before = label_->PaintCount();
  CColorLabel& same = label_->SetText(QStringLiteral("161 / 160"))
                          .SetFontName(QStringLiteral("LcdD"))
                          .SetFontSize(18)
                          .SetTextColour(kRed);
  EXPECT_EQ(&same, label_);
  // No event loop ran: every setter painted by itself.
  EXPECT_EQ(label_->PaintCount(), before + 4);
  EXPECT_EQ(label_->text(), QStringLiteral("161 / 160"));
  EXPECT_EQ(label_->font().families().value(0), QStringLiteral("LcdD"));
  EXPECT_EQ(label_->font().pixelSize(), 18);
  EXPECT_EQ(label_->TextColour(), QColor(255, 0, 0));
}

TEST_F(ColorLabelTest, RedTextIsRedAndTheSystemColourComesBack) {
  QFont big = label_->font();
  big.setPixelSize(24);
  big.setBold(true);
  label_->setFont(big);
  label_->SetText(QStringLiteral("888")).SetTextColour(kRed);
  EXPECT_GT(CountPixels(QColor(255, 0, 0)), 20);
  EXPECT_EQ(CountPixels(QColor(0, 0, 255)), 0);  // red with its channels swapped

  label_->SetSystemTextColour();
  EXPECT_EQ(CountPixels(QColor(255, 0, 0)), 0);
  EXPECT_GT(CountPixels(kWindowText), 20);

  label_->SetBackgroundColour(kBlue);
  EXPECT_EQ(label_->grab().toImage().pixel(1, 1), qRgb(0, 0, 255));
}

TEST_F(ColorLabelTest, AMissingFaceFallsBackToFixedPitchDigits) {
  if (QFontDatabase::hasFamily(QStringLiteral("LcdD"))) GTEST_SKIP() << "LcdD is installed here";
  label_->SetFontName(QStringLiteral("LcdD")).SetFontSize(18);
  EXPECT_TRUE(QFontInfo(label_->font()).fixedPitch()) << QFontInfo(label_->font()).family().toStdString();
  const QFontMetrics metrics(label_->font());
  for (const QChar c : QStringLiteral("0123456789 /")) {
    EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('0'))) << "'" << c.toLatin1() << "'";
  }
  // The height is the character height, whatever face stands in.
  EXPECT_EQ(QFontInfo(label_->font()).pixelSize(), 18);
}

}  // namespace
}  // namespace qz::ui
