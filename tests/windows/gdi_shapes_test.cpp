// The GDI side of the bitmap-shaped gauge: the region built from a shape bitmap in batches
// of rectangles, and that region grown for the gauge's edge.
#include "ui/win32/controls/gdi_shapes.h"

#include <gtest/gtest.h>

#include <vector>

namespace qz::ui::win32 {
namespace {

// A bitmap of `width` x `height` whose pixel (x, y) is black where `black(x, y)`, else white.
template <typename Black>
HBITMAP MakeBitmap(int width, int height, Black black) {
  std::vector<uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y) * width + x] = black(x, y) ? 0 : 0xFFFFFF;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

TEST(GdiShapesTest, EveryBlackPixelAndNoWhiteOneIsInTheRegionAcrossManyBatches) {
  // One row of 2001 one-pixel runs and a second row of one long run: the batch of 2000
  // rectangles is turned into a region and united with what follows.
  const int width = 4002;
  const auto black = [](int x, int y) { return y == 1 ? x > 0 : x % 2 == 0; };
  HBITMAP bitmap = MakeBitmap(width, 2, black);
  ASSERT_NE(bitmap, nullptr);
  HRGN region = RegionFromBitmap(bitmap, RGB(255, 255, 255), RGB(0, 0, 0));
  ASSERT_NE(region, nullptr);
  int wrong = 0;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < width; ++x) wrong += (PtInRegion(region, x, y) != 0) != black(x, y);
  EXPECT_EQ(wrong, 0);
  DeleteObject(region);
  DeleteObject(bitmap);
}

TEST(GdiShapesTest, AnAllWhiteShapeHasAnEmptyRegionThatDoesNotGrow) {
  HBITMAP bitmap = MakeBitmap(8, 8, [](int, int) { return false; });
  HRGN region = RegionFromBitmap(bitmap, RGB(255, 255, 255), RGB(0, 0, 0));
  ASSERT_NE(region, nullptr);
  RECT box;
  EXPECT_EQ(GetRgnBox(region, &box), NULLREGION);
  EXPECT_EQ(GrowRegion(region, 1, 1), nullptr);
  EXPECT_EQ(RegionFromBitmap(nullptr, RGB(255, 255, 255), RGB(0, 0, 0)), nullptr);
  DeleteObject(region);
  DeleteObject(bitmap);
}

TEST(GdiShapesTest, AGrownRegionTakesOnePixelMoreOnEverySide) {
  // Two bars, as the signal shape has them: the grown region holds the edge around each.
  HBITMAP bitmap = MakeBitmap(10, 10, [](int x, int y) { return (y == 2 && x >= 3) || (y >= 6 && y <= 7 && x >= 5); });
  HRGN region = RegionFromBitmap(bitmap, RGB(255, 255, 255), RGB(0, 0, 0));
  HRGN grown = GrowRegion(region, 1, 1);
  ASSERT_NE(grown, nullptr);
  const struct {
    int x, y;
    bool inside;
  } points[] = {{2, 1, true}, {10, 3, true}, {1, 2, false}, {4, 5, true}, {4, 8, true}, {3, 8, false}, {9, 4, false}};
  for (const auto& p : points) EXPECT_EQ(PtInRegion(grown, p.x, p.y) != 0, p.inside) << p.x << "," << p.y;
  DeleteObject(grown);
  DeleteObject(region);
  DeleteObject(bitmap);
}

}  // namespace
}  // namespace qz::ui::win32
