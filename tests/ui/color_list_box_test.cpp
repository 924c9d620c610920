#include "ui/qt/controls/color_list_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QStyle>
#include <cmath>
#include <functional>

#include "ui/qt/controls/color_line_delegate.h"

namespace qz::ui {
namespace {

constexpr Colour Rgb(int r, int g, int b) {
  return static_cast<Colour>(r) | static_cast<Colour>(g) << 8 | static_cast<Colour>(b) << 16;
}

const QColor kBase(0xFF, 0xFF, 0xFF);
const QColor kText(0x10, 0x10, 0x10);
const QColor kHighlight(0x20, 0x50, 0xA0);
const QColor kHighlightedText(0xF0, 0xF0, 0xE0);
const QColor kGreyText(0x90, 0x90, 0x90);

QPalette TestPalette() {
  QPalette palette;
  palette.setColor(QPalette::Base, kBase);
  palette.setColor(QPalette::Text, kText);
  palette.setColor(QPalette::Highlight, kHighlight);
  palette.setColor(QPalette::HighlightedText, kHighlightedText);
  palette.setColor(QPalette::Disabled, QPalette::Text, kGreyText);
  return palette;
}

TEST(LineLookTest, InverseReplacesEachChannelByItsComplement) {
  EXPECT_EQ(InverseColour(kRed), Rgb(0, 255, 255));
  EXPECT_EQ(InverseColour(Rgb(10, 200, 30)), Rgb(245, 55, 225));
  EXPECT_EQ(InverseColour(0), Rgb(255, 255, 255));
}

// WCAG relative luminance of an sRGB colour.
double Luminance(const QColor& c) {
  auto linear = [](int channel) {
    const double v = channel / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

// Green and grey lines keep their hue but are dark enough to read on the white list.
TEST(LineLookTest, LogColoursReadOnWhite) {
  const QPalette palette = TestPalette();
  const struct {
    Colour colour;
    std::function<bool(const QColor&)> keeps_its_role;
  } cases[] = {
      {kGreen, [](const QColor& c) { return c.green() > 0 && c.red() == 0 && c.blue() == 0; }},
      {kGrey, [](const QColor& c) { return c.red() == c.green() && c.green() == c.blue(); }},
      {kBlue, [](const QColor& c) { return c == QColor(0, 0, 255); }},
  };
  for (const auto& c : cases) {
    const QColor text = LineLookFor(c.colour, false, true, palette).text;
    const double contrast = (Luminance(kBase) + 0.05) / (Luminance(text) + 0.05);
    EXPECT_GE(contrast, 4.5) << "colour " << c.colour << " drawn as " << text.name().toStdString();
    EXPECT_TRUE(c.keeps_its_role(text)) << "colour " << c.colour << " drawn as " << text.name().toStdString();
  }
}

TEST(LineLookTest, FollowsTheTextColourTable) {
  const QPalette palette = TestPalette();
  const Colour teal = Rgb(10, 200, 30);
  struct Case {
    Colour colour;
    bool selected, enabled;
    std::optional<QColor> background;
    QColor text;
  } cases[] = {
      {teal, true, true, QColor(10, 200, 30), QColor(245, 55, 225)},
      {teal, true, false, QColor(10, 200, 30), QColor(245, 55, 225)},
      {teal, false, false, std::nullopt, kGreyText},
      {teal, false, true, std::nullopt, QColor(10, 200, 30)},
      {0, true, true, kHighlight, kHighlightedText},
      {0, true, false, kHighlight, kHighlightedText},
      {0, false, false, std::nullopt, kGreyText},
      {0, false, true, std::nullopt, kText},
  };
  for (const Case& c : cases) {
    const LineLook look = LineLookFor(c.colour, c.selected, c.enabled, palette);
    EXPECT_EQ(look.background, c.background)
        << "colour " << c.colour << " selected " << c.selected << " enabled " << c.enabled;
    EXPECT_EQ(look.text, c.text)
        << "colour " << c.colour << " selected " << c.selected << " enabled " << c.enabled;
  }
}

TEST(ColorListBoxTest, AddLineAppendsAndKeepsTheColourAsItemData) {
  CColorListBox list;
  EXPECT_EQ(list.AddLine(QStringLiteral("first"), kRed), 0);
  EXPECT_EQ(list.AddLine(QStringLiteral("second"), 0), 1);
  EXPECT_EQ(list.AddLine(QStringLiteral("third"), kBlue), 2);
  EXPECT_EQ(list.count(), 3);
  EXPECT_EQ(list.item(2)->text(), QStringLiteral("third"));
  EXPECT_EQ(list.LineColour(0), kRed);
  EXPECT_EQ(list.LineColour(1), 0u);
  EXPECT_EQ(list.LineColour(2), kBlue);
  EXPECT_EQ(list.LineColour(3), 0u);
}

TEST(ColorListBoxTest, LinesAreAsHighAsTheCheckIndicatorButNeverLowerThanTheFont) {
  for (const int pixels : {6, 30}) {
    CColorListBox list;
    QFont font = list.font();
    font.setPixelSize(pixels);
    list.setFont(font);
    list.resize(200, 200);
    list.AddLine(QStringLiteral("one"), 0);
    list.AddLine(QStringLiteral("two"), kRed);
    const int expected = std::max(list.style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, &list),
                                  QFontMetrics(font).height());
    EXPECT_EQ(list.visualItemRect(list.item(0)).height(), expected) << pixels << " px font";
    EXPECT_EQ(list.visualItemRect(list.item(1)).top(), list.visualItemRect(list.item(0)).bottom() + 1);
  }
}

class ColorListBoxDrawingTest : public ::testing::Test {
 protected:
  ColorListBoxDrawingTest() {
    list_.setPalette(TestPalette());
    QFont font = list_.font();
    font.setPixelSize(18);
    font.setBold(true);
    list_.setFont(font);
    list_.resize(300, 150);
  }

  // The pixels of line `index` as the list draws them.
  QImage Line(int index) {
    const QRect rect = list_.visualItemRect(list_.item(index));
    return list_.viewport()->grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
  }

  static int Count(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == (colour.rgb() | 0xFF000000u);
    return n;
  }

  CColorListBox list_;
};

TEST_F(ColorListBoxDrawingTest, SelectedRedLineIsCyanTextOnRed) {
  list_.AddLine(QStringLiteral("HHHH"), kRed);
  list_.setCurrentRow(0);
  const QImage line = Line(0);
  EXPECT_EQ(line.pixel(line.width() - 20, line.height() / 2), qRgb(255, 0, 0));
  EXPECT_GT(Count(line, QColor(0, 255, 255)), 10);
  // Red and cyan with their channels swapped would be blue and yellow.
  EXPECT_EQ(Count(line, QColor(0, 0, 255)), 0);
  EXPECT_EQ(Count(line, QColor(255, 255, 0)), 0);
}

TEST_F(ColorListBoxDrawingTest, UnselectedLinesAreTheirColourOnTheListBackground) {
  list_.AddLine(QStringLiteral("HHHH"), kRed);
  list_.AddLine(QStringLiteral("HHHH"), 0);
  for (const int index : {0, 1}) {
    const QImage line = Line(index);
    EXPECT_EQ(line.pixel(line.width() - 20, line.height() / 2), kBase.rgb()) << index;
  }
  EXPECT_GT(Count(Line(0), QColor(255, 0, 0)), 10);
  EXPECT_EQ(Count(Line(0), QColor(0, 0, 255)), 0);
  EXPECT_GT(Count(Line(1), kText), 10);
}

TEST_F(ColorListBoxDrawingTest, SelectedSystemColourLineUsesTheHighlightColours) {
  list_.AddLine(QStringLiteral("HHHH"), 0);
  list_.setCurrentRow(0);
  const QImage line = Line(0);
  EXPECT_EQ(line.pixel(line.width() - 20, line.height() / 2), kHighlight.rgb());
  EXPECT_GT(Count(line, kHighlightedText), 10);
}

TEST_F(ColorListBoxDrawingTest, DisabledListDrawsUnselectedLinesInGreyText) {
  list_.AddLine(QStringLiteral("HHHH"), kRed);
  list_.setEnabled(false);
  const QImage line = Line(0);
  EXPECT_GT(Count(line, kGreyText), 10);
  EXPECT_EQ(Count(line, QColor(255, 0, 0)), 0);
}

TEST_F(ColorListBoxDrawingTest, TextIsOneLineCentredVertically) {
  list_.AddLine(QStringLiteral("HHHH\nHHHH"), 0);
  const QImage line = Line(0);
  int top = line.height(), bottom = -1;
  for (int y = 0; y < line.height(); ++y)
    for (int x = 0; x < line.width(); ++x)
      if (line.pixel(x, y) == kText.rgb()) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  ASSERT_GE(bottom, 0);
  // Capital H has no descender: its ink sits a little above the middle, never at an edge.
  EXPECT_GT(top, 0);
  EXPECT_LT(bottom, line.height() - 1);
  EXPECT_LE(std::abs((top + bottom) / 2 - line.height() / 2), 3);
}

}  // namespace
}  // namespace qz::ui
