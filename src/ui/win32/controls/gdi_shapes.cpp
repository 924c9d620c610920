#include "ui/win32/controls/gdi_shapes.h"

#include <algorithm>

namespace qz::ui::win32 {
namespace {

// A COLORREF (red in the low byte) as a pixel of a 32-bit image (blue in the low byte).
uint32_t AsPixel(COLORREF c) {
  return static_cast<uint32_t>(GetBValue(c)) | static_cast<uint32_t>(GetGValue(c)) << 8 |
         static_cast<uint32_t>(GetRValue(c)) << 16;
}

// Collects rectangles into region data and turns them into a region every kBatch of them.
class RegionBatches {
 public:
  static constexpr DWORD kBatch = 2000;

  void Add(const RECT& rect) {
    rects_.push_back(rect);
    if (rects_.size() == kBatch) Flush();
  }
  HRGN Finish() {
    Flush();
    return result_;
  }

 private:
  void Flush() {
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects_.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects_.size());
    header->nRgnSize = 0;
    SetRect(&header->rcBound, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0);
    for (const RECT& r : rects_) {
      header->rcBound.left = std::min(header->rcBound.left, r.left);
      header->rcBound.top = std::min(header->rcBound.top, r.top);
      header->rcBound.right = std::max(header->rcBound.right, r.right);
      header->rcBound.bottom = std::max(header->rcBound.bottom, r.bottom);
    }
    std::copy(rects_.begin(), rects_.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
    HRGN batch = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
    rects_.clear();
    if (batch == nullptr) return;
    if (result_ == nullptr) {
      result_ = batch;
    } else {
      CombineRgn(result_, result_, batch, RGN_OR);
      DeleteObject(batch);
    }
  }

  std::vector<RECT> rects_;
  HRGN result_ = nullptr;
};

}  // namespace

std::optional<BitmapPixels> PixelsOf(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0)
    return std::nullopt;
  BitmapPixels out;
  out.pixels.resize(static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(info.bmHeight));
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = -info.bmHeight;  // top-down
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), out.pixels.data(), &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != info.bmHeight) return std::nullopt;
  out.rows = {out.pixels.data(), info.bmWidth, static_cast<int>(info.bmWidth), static_cast<int>(info.bmHeight)};
  return out;
}

HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF key, COLORREF tolerance) {
  auto pixels = PixelsOf(bitmap);
  if (!pixels) return nullptr;
  RegionBatches batches;
  ForEachOpaqueRun(pixels->rows, AsPixel(key), AsPixel(tolerance),
                   [&](int x, int y, int length) { batches.Add(RECT{x, y, x + length, y + 1}); });
  return batches.Finish();
}

HRGN GrowRegion(HRGN region, int dx, int dy) {
  const DWORD size = GetRegionData(region, 0, nullptr);
  if (size == 0) return nullptr;
  std::vector<BYTE> data(size);
  if (GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.data())) == 0) return nullptr;
  auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
  if (header->nCount == 0) return nullptr;
  auto* rects = reinterpret_cast<RECT*>(data.data() + header->dwSize);
  for (DWORD i = 0; i < header->nCount; ++i) InflateRect(&rects[i], dx, dy);
  InflateRect(&header->rcBound, dx, dy);
  return ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(data.data()));
}

}  // namespace qz::ui::win32
