#include "ui/qt/controls/bitmap_gauge.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "pixel_art.h"
#include "ui/qt/color_ref_qt.h"
#include "ui/qt/window_images.h"

namespace qz::ui {
namespace {

using testing::Bitmap;
using testing::Picture;
using Style = CBitmapGauge::FillStyle;

constexpr QRgb kFace = 0xFFC0C0C0u;
constexpr QRgb kHighlight = 0xFFFFFFFFu;
constexpr QRgb kShadow = 0xFF808080u;

constexpr Colour Rgb(int r, int g, int b) {
  return static_cast<Colour>(r) | static_cast<Colour>(g) << 8 | static_cast<Colour>(b) << 16;
}

// A shape that is all black has no edge (nothing differs from its top-left pixel), which
// leaves the fill alone in the picture.
QImage BlackShape(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(0xFF000000u);
  return image;
}

// The gradient's colours by the rule the gauge follows: per channel a single-precision
// value, stepped after each row or column and truncated.
std::vector<QRgb> GradientColours(QColor from, QColor to, int steps, int count) {
  float r = from.red(), g = from.green(), b = from.blue();
  const float dr = static_cast<float>(to.red() - from.red()) / steps;
  const float dg = static_cast<float>(to.green() - from.green()) / steps;
  const float db = static_cast<float>(to.blue() - from.blue()) / steps;
  std::vector<QRgb> colours;
  for (int k = 0; k < count; ++k) {
    colours.push_back(qRgb(static_cast<int>(r), static_cast<int>(g), static_cast<int>(b)));
    r += dr;
    g += dg;
    b += db;
  }
  return colours;
}

void ExpectRowIs(const QImage& image, int y, QRgb colour) {
  for (int x = 0; x < image.width(); ++x)
    ASSERT_EQ(image.pixel(x, y), colour) << "pixel " << x << "," << y;
}

class BitmapGaugeTest : public ::testing::Test {
 protected:
  BitmapGaugeTest() {
    QPalette palette = parent_.palette();
    palette.setColor(QPalette::Button, QColor::fromRgb(kFace));
    palette.setColor(QPalette::Light, QColor::fromRgb(kHighlight));
    palette.setColor(QPalette::Dark, QColor::fromRgb(kShadow));
    parent_.setPalette(palette);
    parent_.resize(200, 200);
  }

  static void Settle() {
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
  }

  QWidget parent_;
};

TEST_F(BitmapGaugeTest, CreationSizesAndShapesTheWindowAndSetsTheDefaults) {
  const QImage shape = Bitmap({
      "......",
      ".###..",
      ".###..",
      "......",
      "......",
  });
  CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 10, 20, shape);
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(gauge->parentWidget(), &parent_);
  EXPECT_EQ(gauge->geometry(), QRect(10, 20, 5, 4));
  EXPECT_FALSE(gauge->isHidden());
  EXPECT_TRUE((gauge->ShapeRegion() ^ QRegion(1, 1, 3, 2)).isEmpty());
  // The shape grown by a pixel all round, for the edge.
  EXPECT_TRUE((gauge->mask() ^ QRegion(0, 0, 5, 4)).isEmpty());

  EXPECT_EQ(gauge->Minimum(), 0);
  EXPECT_EQ(gauge->Maximum(), 100);
  EXPECT_EQ(gauge->Position(), 0);
  EXPECT_EQ(gauge->FirstColour(), QColor(0, 0, 255));
  EXPECT_EQ(gauge->SecondColour(), QColor(255, 0, 0));
  EXPECT_EQ(gauge->BackgroundColour().rgb(), kFace);
  EXPECT_EQ(gauge->Style(), Style::GradientRight);
}

TEST_F(BitmapGaugeTest, CreationFailsWithoutAParentOrAShapeAndAWhiteShapeStaysRectangular) {
  EXPECT_EQ(CBitmapGauge::Create(nullptr, 0, 0, BlackShape(4, 4)), nullptr);
  EXPECT_EQ(CBitmapGauge::Create(&parent_, 0, 0, QImage()), nullptr);

  const CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 0, 0, Bitmap({"....", "....", "...."}));
  ASSERT_NE(gauge, nullptr);
  EXPECT_TRUE(gauge->ShapeRegion().isEmpty());
  EXPECT_TRUE(gauge->mask().isEmpty());
  EXPECT_EQ(gauge->size(), QSize(3, 2));
}

// The main window's meter: range 0-31, red at the bottom rising to green, client 95 high.
class SignalLevelTest : public BitmapGaugeTest {
 protected:
  CBitmapGauge* MeterAt(int position) {
    CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 0, 0, BlackShape(5, 96));
    gauge->SetStyle(Style::GradientUp);
    gauge->SetColours(kRed, kGreen);
    gauge->SetRange(0, 31);
    gauge->SetPosition(position);
    return gauge;
  }
};

TEST_F(SignalLevelTest, FullLevelFillsFromBelowTheAreaUpToRowOne) {
  const QImage image = MeterAt(31)->Render();
  ASSERT_EQ(image.size(), QSize(4, 95));
  // Top = 0 * 97 / 32 = 0: rows 96 down to 1 take gradient steps 0 to 95.
  ExpectRowIs(image, 0, kFace);
  const std::vector<QRgb> steps = GradientColours(QColor(255, 0, 0), QColor(0, 255, 0), 95, 96);
  for (int y = 1; y <= 94; ++y) ExpectRowIs(image, y, steps[96 - y]);
  EXPECT_EQ(image.pixel(0, 94), qRgb(249, 5, 0));  // 255 - 2 * 255 / 95, truncated
  EXPECT_EQ(image.pixel(0, 93), qRgb(246, 8, 0));
  EXPECT_EQ(qRed(image.pixel(0, 1)), 0);
  EXPECT_GE(qGreen(image.pixel(0, 1)), 254);
}

TEST_F(SignalLevelTest, EmptyLevelShowsOnlyTheBottomRow) {
  const QImage image = MeterAt(0)->Render();
  // Top = 31 * 97 / 32 = 93: rows 96 down to 94, of which only 94 is inside.
  for (int y = 0; y <= 93; ++y) ExpectRowIs(image, y, kFace);
  ExpectRowIs(image, 94, qRgb(249, 5, 0));
}

// Every style on an 8 x 8 client area, range 0-3 at 2. The gradient runs from
// (16, 32, 200) to (255, 128, 0): steps of 239/8, 12 and -25, exact in binary.
class FillStyleTest : public BitmapGaugeTest {
 protected:
  QImage RenderStyle(Style style) {
    CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 0, 0, BlackShape(9, 9));
    gauge->SetStyle(style);
    gauge->SetColours(Rgb(16, 32, 200), Rgb(255, 128, 0));
    gauge->SetRange(0, 3);
    gauge->SetPosition(2);
    return gauge->Render();
  }

  static QRgb Step(int k) {
    return qRgb(static_cast<int>(16 + k * 29.875), 32 + 12 * k, 200 - 25 * k);
  }

  static void ExpectPixels(const QImage& image, const std::function<QRgb(int, int)>& expected) {
    ASSERT_EQ(image.size(), QSize(8, 8));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(image.pixel(x, y), expected(x, y)) << "pixel " << x << "," << y;
  }
};

TEST_F(FillStyleTest, SolidDownFillsRowsFromAboveTheTop) {
  // Height 2 * 10 / 4 + 1 = 6 from y = -1: rows 0 to 4.
  ExpectPixels(RenderStyle(Style::SolidDown),
               [](int, int y) { return y <= 4 ? qRgb(16, 32, 200) : kFace; });
}

TEST_F(FillStyleTest, SolidRightFillsColumnsFromLeftOfTheEdge) {
  ExpectPixels(RenderStyle(Style::SolidRight),
               [](int x, int) { return x <= 4 ? qRgb(16, 32, 200) : kFace; });
}

TEST_F(FillStyleTest, GradientUpStartsTwoRowsBelowTheArea) {
  // Top = 1 * 10 / 4 = 2 (2.5 truncated): rows 9 down to 3, row y taking step 9 - y.
  ExpectPixels(RenderStyle(Style::GradientUp),
               [](int, int y) { return y >= 3 ? Step(9 - y) : kFace; });
  EXPECT_EQ(Step(2), qRgb(75, 56, 150));
  EXPECT_EQ(Step(6), qRgb(195, 104, 50));
}

TEST_F(FillStyleTest, GradientRightStartsOneColumnLeftOfTheArea) {
  // Right = 2 * 10 / 4 = 5: columns -1 to 4, column x taking step x + 1.
  ExpectPixels(RenderStyle(Style::GradientRight),
               [](int x, int) { return x <= 4 ? Step(x + 1) : kFace; });
}

TEST_F(BitmapGaugeTest, FillStaysInsideTheShapeWithinASunkenEdge) {
  const QImage shape = Bitmap({
      ".........",
      ".........",
      "..####...",
      "..####...",
      "..####...",
      "..####...",
      ".........",
      ".........",
      ".........",
  });
  CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 0, 0, shape);
  gauge->SetStyle(Style::SolidDown);
  gauge->SetRange(0, 1);
  gauge->SetPosition(1);  // rows -1 to 4
  EXPECT_EQ(Picture(gauge->Render(), {{kFace, '.'}, {qRgb(0, 0, 255), 'F'}, {kHighlight, 'L'}, {kShadow, 'D'}}),
            (std::vector<std::string>{
                "........",
                ".DDDD...",
                ".DFFFF..",
                ".DFFFFL.",
                ".DFFFFL.",
                "......L.",
                "...LLLL.",
                "........",
            }));
}

TEST_F(BitmapGaugeTest, RepaintsOnlyWhenAValueChanges) {
  CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 0, 0, BlackShape(6, 6));
  parent_.show();
  Settle();
  int paints = gauge->PaintCount();
  ASSERT_GT(paints, 0);
  const auto expect_repaints = [&](int more, const char* what) {
    Settle();
    EXPECT_EQ(gauge->PaintCount(), paints + more) << what;
    paints = gauge->PaintCount();
  };

  EXPECT_EQ(gauge->SetPosition(40), 0);
  expect_repaints(1, "new position");
  EXPECT_EQ(gauge->SetPosition(40), 40);
  expect_repaints(0, "same position");

  EXPECT_EQ(gauge->SetStyle(Style::GradientRight), Style::GradientRight);
  expect_repaints(0, "same style");
  EXPECT_EQ(gauge->SetStyle(Style::SolidDown), Style::GradientRight);
  expect_repaints(1, "new style");

  gauge->SetColours(Rgb(0, 0, 255), Rgb(255, 0, 0));
  expect_repaints(0, "same colours");
  gauge->SetColours(Rgb(0, 0, 255), Rgb(0, 255, 0));
  expect_repaints(1, "new second colour");

  gauge->SetRange(0, 100);
  expect_repaints(1, "the same range still repaints");
}

TEST_F(BitmapGaugeTest, SignalBarsAsTheMainWindowSetsThemUp) {
  const QImage shape(SignalShapePath());
  ASSERT_EQ(shape.size(), QSize(36, 96));
  CBitmapGauge* gauge = CBitmapGauge::Create(&parent_, 7, 9, shape);
  ASSERT_NE(gauge, nullptr);
  gauge->SetStyle(Style::GradientUp);
  gauge->SetColours(kRed, kGreen);
  gauge->SetRange(0, 31);
  gauge->SetPosition(29);
  EXPECT_EQ(gauge->geometry(), QRect(7, 9, 35, 95));
  // The bars and their edge fit inside the window; the corner beside them is not the gauge's.
  EXPECT_TRUE(gauge->mask().subtracted(QRegion(0, 0, 35, 95)).isEmpty());
  EXPECT_FALSE(gauge->mask().contains(QPoint(0, 0)));

  const QImage image = gauge->Render();
  const QRect top_bar = (gauge->ShapeRegion() & QRect(0, 0, 36, 11)).boundingRect();
  ASSERT_FALSE(top_bar.isEmpty());
  // Top = 2 * 97 / 32 = 6: the top bar is filled from row 7 down, empty above.
  EXPECT_EQ(image.pixel(top_bar.center().x(), 6), kFace);
  EXPECT_NE(image.pixel(top_bar.center().x(), 7), kFace);
  // Sunken: shadow above and left of the bar, highlight below and right.
  EXPECT_EQ(image.pixel(top_bar.center().x(), top_bar.top() - 1), kShadow);
  EXPECT_EQ(image.pixel(top_bar.left() - 1, top_bar.center().y()), kShadow);
  EXPECT_EQ(image.pixel(top_bar.center().x(), top_bar.bottom() + 1), kHighlight);
  EXPECT_EQ(image.pixel(top_bar.right() + 1, top_bar.center().y()), kHighlight);
  // The lowest bar is red-most, the highest green-most.
  const QRgb low = image.pixel(33, 90);
  const QRgb high = image.pixel(33, 8);
  EXPECT_GT(qRed(low), qGreen(low));
  EXPECT_GT(qGreen(high), qRed(high));

  // What the window shows is that picture, inside its outline.
  parent_.show();
  Settle();
  const QImage shown = gauge->grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (const QRect& rect : gauge->mask())
    for (int y = rect.top(); y <= rect.bottom(); ++y)
      for (int x = rect.left(); x <= rect.right(); ++x)
        ASSERT_EQ(shown.pixel(x, y), image.pixel(x, y)) << "pixel " << x << "," << y;
}

}  // namespace
}  // namespace qz::ui
