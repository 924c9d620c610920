#include "ui/qt/controls/shape_drawing.h"

#include <gtest/gtest.h>

#include <vector>

#include "pixel_art.h"
#include "ui/qt/controls/region_builder.h"

namespace qz::ui {
namespace {

using testing::Bitmap;
using testing::Picture;

constexpr QRgb kWhite = 0xFFFFFFFFu;

std::vector<QRect> Runs(const QImage& bitmap, QRgb key = kWhite, QRgb tolerance = 0) {
  std::vector<QRect> runs;
  ForEachOpaqueRun(bitmap, key, tolerance, [&](const QRect& r) { runs.push_back(r); });
  return runs;
}

// Regions are compared as sets of pixels, whatever rectangles they are made of.
bool SamePixels(const QRegion& a, const QRegion& b) { return (a ^ b).isEmpty(); }

TEST(RegionFromBitmapTest, NullBitmapGivesNoRegionAndWhiteOneAnEmptyRegion) {
  EXPECT_FALSE(RegionFromBitmap(QImage(), kWhite, 0).has_value());

  const auto white = RegionFromBitmap(Bitmap({"....", "....", "...."}), kWhite, 0);
  ASSERT_TRUE(white.has_value());
  EXPECT_TRUE(white->isEmpty());
  EXPECT_TRUE(Runs(Bitmap({"....", "...."})).empty());
}

TEST(RegionFromBitmapTest, AllBlackBitmapGivesOneFullWidthRunPerRow) {
  const QImage black = Bitmap({"#######", "#######", "#######", "#######", "#######"});
  const std::vector<QRect> runs = Runs(black);
  ASSERT_EQ(runs.size(), 5u);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(runs[y], QRect(0, y, 7, 1)) << "row " << y;

  const auto region = RegionFromBitmap(black, kWhite, 0);
  ASSERT_TRUE(region.has_value());
  EXPECT_TRUE(SamePixels(*region, QRegion(0, 0, 7, 5)));
}

TEST(RegionFromBitmapTest, AWhitePixelEndsARun) {
  const std::vector<QRect> runs = Runs(Bitmap({"#.##"}));
  ASSERT_EQ(runs.size(), 2u);
  // Right edges exclusive: x 0 to 1 and 2 to 4.
  EXPECT_EQ(runs[0].left(), 0);
  EXPECT_EQ(runs[0].left() + runs[0].width(), 1);
  EXPECT_EQ(runs[1].left(), 2);
  EXPECT_EQ(runs[1].left() + runs[1].width(), 4);
  EXPECT_EQ(runs[1].height(), 1);
}

TEST(RegionFromBitmapTest, AnHIsItsRunsRowByRowAndCoversExactlyItsBlackPixels) {
  const QImage h = Bitmap({
      "#...#",
      "#...#",
      "#####",
      "#...#",
      "#...#",
  });
  const std::vector<QRect> expected = {
      QRect(0, 0, 1, 1), QRect(4, 0, 1, 1), QRect(0, 1, 1, 1), QRect(4, 1, 1, 1),
      QRect(0, 2, 5, 1), QRect(0, 3, 1, 1), QRect(4, 3, 1, 1), QRect(0, 4, 1, 1),
      QRect(4, 4, 1, 1),
  };
  EXPECT_EQ(Runs(h), expected);

  const auto region = RegionFromBitmap(h, kWhite, 0);
  ASSERT_TRUE(region.has_value());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(region->contains(QPoint(x, y)), h.pixel(x, y) == 0xFF000000u) << x << "," << y;
}

TEST(RegionFromBitmapTest, KeyAndToleranceApplyToEachChannelOnItsOwn) {
  QImage image(6, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(200, 100, 50));  // the key itself
  image.setPixel(1, 0, qRgb(210, 100, 50));  // red at the top of its tolerance
  image.setPixel(2, 0, qRgb(211, 100, 50));  // red beyond it
  image.setPixel(3, 0, qRgb(199, 100, 50));  // red below the key
  image.setPixel(4, 0, qRgb(200, 101, 50));  // green has no tolerance
  image.setPixel(5, 0, qRgb(205, 100, 50));
  const std::vector<QRect> runs = Runs(image, qRgb(200, 100, 50), qRgb(10, 0, 0));
  EXPECT_EQ(runs, (std::vector<QRect>{QRect(2, 0, 3, 1)}));
}

TEST(RegionFromBitmapTest, ToleranceReachesNoFurtherThan255) {
  QImage image(3, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(255, 255, 255));
  image.setPixel(1, 0, qRgb(3, 3, 3));  // inside the range only if 250 + 10 wrapped round
  image.setPixel(2, 0, qRgb(249, 250, 250));
  const std::vector<QRect> runs = Runs(image, qRgb(250, 250, 250), qRgb(10, 10, 10));
  EXPECT_EQ(runs, (std::vector<QRect>{QRect(1, 0, 2, 1)}));
}

// Rows alternating between two run patterns, so the region cannot fold them into one.
QImage StripedColumn(int rows) {
  QImage image(3, rows, QImage::Format_RGB32);
  image.fill(kWhite);
  for (int y = 0; y < rows; ++y) image.setPixel(y % 2 == 0 ? 0 : 2, y, 0xFF000000u);
  return image;
}

TEST(RegionBuilderTest, UnitesInBatchesOf2000AndAlwaysOnceMoreAtTheEnd) {
  for (const auto& [runs, flushes] : std::vector<std::pair<int, int>>{
           {0, 1}, {1, 1}, {1999, 1}, {2000, 2}, {2001, 2}, {4000, 3}, {4001, 3}}) {
    RegionBuilder builder;
    QRegion expected;
    for (int y = 0; y < runs; ++y) {
      const QRect run(y % 2 == 0 ? 0 : 2, y, 1, 1);
      builder.Add(run);
      expected += run;
    }
    const QRegion region = builder.Finish();
    EXPECT_EQ(builder.Flushes(), flushes) << runs << " runs";
    EXPECT_TRUE(SamePixels(region, expected)) << runs << " runs";
  }
}

TEST(RegionBuilderTest, BitmapsAroundTheBatchSizeKeepEveryRun) {
  for (const int rows : {2000, 2001}) {
    const auto region = RegionFromBitmap(StripedColumn(rows), kWhite, 0);
    ASSERT_TRUE(region.has_value());
    const int last = rows - 1;
    EXPECT_TRUE(region->contains(QPoint(last % 2 == 0 ? 0 : 2, last))) << rows;
    EXPECT_FALSE(region->contains(QPoint(1, last))) << rows;
    EXPECT_EQ(region->boundingRect(), QRect(0, 0, 3, rows));
  }
}

TEST(GrowRegionTest, EmptyRegionGivesNone) {
  EXPECT_FALSE(GrowRegion(QRegion(), 1, 1).has_value());
}

TEST(GrowRegionTest, InflatesEachSideByItsOwnAmount) {
  const auto grown = GrowRegion(QRegion(3, 3, 1, 1), 2, 1);
  ASSERT_TRUE(grown.has_value());
  EXPECT_TRUE(SamePixels(*grown, QRegion(1, 2, 5, 3)));
}

TEST(GrowRegionTest, GrowingByOneAddsEveryPixelTouchingTheShape) {
  const QImage h = Bitmap({
      ".........",
      ".#.....#.",
      ".#.....#.",
      ".#######.",
      ".#.....#.",
      ".#.....#.",
      ".........",
  });
  const auto grown = GrowRegion(*RegionFromBitmap(h, kWhite, 0), 1, 1);
  ASSERT_TRUE(grown.has_value());
  // A pixel belongs when it or one of its eight neighbours is black.
  for (int y = -1; y <= h.height(); ++y)
    for (int x = -1; x <= h.width(); ++x) {
      bool touches = false;
      for (int v = y - 1; v <= y + 1; ++v)
        for (int u = x - 1; u <= x + 1; ++u)
          touches |= h.valid(u, v) && h.pixel(u, v) == 0xFF000000u;
      EXPECT_EQ(grown->contains(QPoint(x, y)), touches) << x << "," << y;
    }
}

constexpr QRgb kGrey = 0xFF808080u;
constexpr QRgb kLight = 0xFFFFFFFFu;
constexpr QRgb kDark = 0xFF000000u;
const std::map<QRgb, char> kLegend = {{kGrey, '.'}, {kLight, 'L'}, {kDark, 'D'}};

QImage GreyImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kGrey);
  return image;
}

const QImage kSquare = Bitmap({
    "......",
    "......",
    "..##..",
    "..##..",
    "......",
    "......",
});

TEST(EmbossOutlineTest, RaisedRingsAreLightAboveLeftAndDarkBelowRight) {
  const QImage result = EmbossOutline(kSquare, GreyImage(6, 6), true, 0, 0, kLight, kDark);
  EXPECT_EQ(Picture(result, kLegend), (std::vector<std::string>{
                                          "......",
                                          ".LL...",
                                          ".L....",
                                          "....D.",
                                          "...DD.",
                                          "......",
                                      }));
}

TEST(EmbossOutlineTest, SunkenSwapsTheRingColours) {
  const QImage result = EmbossOutline(kSquare, GreyImage(6, 6), false, 0, 0, kLight, kDark);
  EXPECT_EQ(Picture(result, kLegend), (std::vector<std::string>{
                                          "......",
                                          ".DD...",
                                          ".D....",
                                          "....L.",
                                          "...LL.",
                                          "......",
                                      }));
}

TEST(EmbossOutlineTest, TheShapeIsWhateverDiffersFromTheTopLeftPixel) {
  QImage inverted = kSquare;
  inverted.invertPixels();
  EXPECT_EQ(Picture(EmbossOutline(inverted, GreyImage(6, 6), true, 0, 0, kLight, kDark), kLegend),
            Picture(EmbossOutline(kSquare, GreyImage(6, 6), true, 0, 0, kLight, kDark), kLegend));

  // Where the two rings meet, the lower-right one is painted last.
  const QImage dots = Bitmap({
      ".....",
      ".#...",
      ".....",
      "...#.",
      ".....",
  });
  EXPECT_EQ(Picture(EmbossOutline(dots, GreyImage(5, 5), true, 0, 0, kLight, kDark), kLegend),
            (std::vector<std::string>{
                "L....",
                ".....",
                "..D..",
                ".....",
                "....D",
            }));
}

TEST(EmbossOutlineTest, OffsetMovesTheRingsAndWhatFallsOutsideIsLeftOut) {
  const QImage result = EmbossOutline(kSquare, GreyImage(5, 4), true, 2, -1, kLight, kDark);
  EXPECT_EQ(Picture(result, kLegend), (std::vector<std::string>{
                                          "...LL",
                                          "...L.",
                                          ".....",
                                          ".....",
                                      }));
}

TEST(EmbossOutlineTest, KeepsTheImagePixelsItDoesNotPaint) {
  QImage image = GreyImage(6, 6);
  image.setPixel(2, 2, 0xFF00FF00u);  // inside the shape
  image.setPixel(5, 0, 0xFF0000FFu);  // far from it
  const QImage result = EmbossOutline(kSquare, image, true, 0, 0, kLight, kDark);
  EXPECT_EQ(result.size(), image.size());
  EXPECT_EQ(result.pixel(2, 2), 0xFF00FF00u);
  EXPECT_EQ(result.pixel(5, 0), 0xFF0000FFu);
  EXPECT_EQ(result.pixel(1, 1), kLight);
}

}  // namespace
}  // namespace qz::ui
