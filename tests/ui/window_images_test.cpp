#include "ui/qt/window_images.h"

#include <gtest/gtest.h>

#include <QImage>

namespace qz::ui {
namespace {

// The mean colour of the opaque pixels.
struct Mean {
  double red = 0, green = 0, blue = 0;
};
Mean MeanOpaque(const QImage& image) {
  const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
  Mean mean;
  int n = 0;
  for (int y = 0; y < pixels.height(); ++y)
    for (int x = 0; x < pixels.width(); ++x) {
      const QRgb p = pixels.pixel(x, y);
      if (qAlpha(p) < 255) continue;
      mean.red += qRed(p);
      mean.green += qGreen(p);
      mean.blue += qBlue(p);
      ++n;
    }
  if (n) mean = {mean.red / n, mean.green / n, mean.blue / n};
  return mean;
}

TEST(WindowImagesTest, SevenTelephonesInTheirIndexOrder) {
  std::vector<Mean> means;
  for (int i = 0; i < kPhoneImageCount; ++i) {
    const QImage phone(PhoneImagePath(i));
    ASSERT_FALSE(phone.isNull()) << PhoneImagePath(i).toStdString();
    EXPECT_EQ(phone.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(phone.pixel(0, 0)), 0) << "corner of phone " << i << " shows the window";
    means.push_back(MeanOpaque(phone));
  }
  EXPECT_TRUE(PhoneImagePath(-1).isEmpty());
  EXPECT_TRUE(PhoneImagePath(kPhoneImageCount).isEmpty());

  const auto& [grey, green, blue, yellow, red, orange, magenta] =
      std::tie(means[0], means[1], means[2], means[3], means[4], means[5], means[6]);
  EXPECT_LT(std::max({grey.red, grey.green, grey.blue}) - std::min({grey.red, grey.green, grey.blue}), 20);
  EXPECT_GT(green.green, green.red + 40);
  EXPECT_GT(blue.blue, blue.red + 40);
  EXPECT_GT(yellow.green, yellow.blue + 80);
  EXPECT_GT(yellow.green, orange.green + 20);
  EXPECT_GT(red.red, red.green + 80);
  EXPECT_GT(orange.green, red.green + 30);
  EXPECT_GT(magenta.blue, magenta.green + 40);
}

TEST(WindowImagesTest, SignalShapeIsEightRightAlignedBarsOfPureBlackOnPureWhite) {
  const QImage shape(SignalShapePath());
  ASSERT_EQ(shape.size(), QSize(36, 96));
  const QImage pixels = shape.convertToFormat(QImage::Format_RGB32);

  struct Bar {
    int top, bottom, left, right;
  };
  std::vector<Bar> bars;
  for (int y = 0; y < pixels.height(); ++y) {
    int left = -1, right = -1, runs = 0;
    for (int x = 0; x < pixels.width(); ++x) {
      const QRgb p = pixels.pixel(x, y);
      ASSERT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << "pixel " << x << "," << y;
      if (p == 0xFF000000u) {
        if (left < 0 || pixels.pixel(x - 1, y) != p) ++runs;
        if (left < 0) left = x;
        right = x;
      }
    }
    if (left < 0) continue;
    ASSERT_EQ(runs, 1) << "row " << y;
    if (!bars.empty() && bars.back().bottom == y - 1) {
      ASSERT_EQ(left, bars.back().left) << "row " << y;
      ASSERT_EQ(right, bars.back().right) << "row " << y;
      bars.back().bottom = y;
    } else {
      bars.push_back({y, y, left, right});
    }
  }
  ASSERT_EQ(bars.size(), 8u);
  for (size_t i = 1; i < bars.size(); ++i) {
    EXPECT_EQ(bars[i].right, bars[0].right) << "bar " << i;
    EXPECT_GT(bars[i].left, bars[i - 1].left) << "bar " << i;
  }
  // The gauge's window is a pixel narrower and lower than the shape and draws an edge
  // round it: the top-left pixel is background, and the edge fits.
  EXPECT_EQ(pixels.pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_GE(bars.front().left, 1);
  EXPECT_GE(bars.front().top, 1);
  EXPECT_LE(bars.front().right, 36 - 3);
  EXPECT_LE(bars.back().bottom, 96 - 3);
}

TEST(WindowImagesTest, AboutLogoAndApplicationIcon) {
  EXPECT_EQ(QImage(AboutLogoPath()).size(), QSize(200, 100));
  const QIcon icon = ApplicationIcon();
  EXPECT_EQ(icon.availableSizes(),
            (QList<QSize>{QSize(32, 32), QSize(48, 48), QSize(64, 64), QSize(256, 256)}));
  for (const QSize& size : icon.availableSizes())
    EXPECT_FALSE(icon.pixmap(size).isNull()) << size.width();
}

}  // namespace
}  // namespace qz::ui
