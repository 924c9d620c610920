#include "ui/win32/controls/bitmap_gauge.h"

#include "ui/color_ref.h"

namespace qz::ui::win32 {
namespace {

constexpr wchar_t kClassName[] = L"QzgsmsBitmapGauge";

COLORREF ToColorRef(Colour c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

// A COLORREF as a pixel of a 32-bit DIB (blue in the low byte).
uint32_t AsPixel(COLORREF c) {
  return static_cast<uint32_t>(GetBValue(c)) | static_cast<uint32_t>(GetGValue(c)) << 8 |
         static_cast<uint32_t>(GetRValue(c)) << 16;
}

}  // namespace

bool CBitmapGauge::Register() {
  static const bool registered = [] {
    WNDCLASSW window_class{};
    // One device context shared by every gauge, as the class asks for.
    window_class.style = CS_CLASSDC;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kClassName;
    return RegisterClassW(&window_class) != 0;
  }();
  return registered;
}

CBitmapGauge::CBitmapGauge(HBITMAP shape, BitmapPixels pixels, HRGN region)
    : background_(GetSysColor(COLOR_BTNFACE)), shape_(shape), shape_pixels_(std::move(pixels)), shape_region_(region) {
  level_.first = RGB(0, 0, 255);
  level_.second = RGB(255, 0, 0);
  level_.style = GaugeStyle::GradientRight;
}

CBitmapGauge::~CBitmapGauge() {
  DeleteObject(shape_);
  if (shape_region_ != nullptr) DeleteObject(shape_region_);
}

CBitmapGauge* CBitmapGauge::Create(HWND parent, int x, int y, HBITMAP shape, int id) {
  auto pixels = PixelsOf(shape);
  if (!pixels || !Register()) return nullptr;
  // The pixels move with the object: the rows must point into its own copy.
  const int width = pixels->rows.width;
  const int height = pixels->rows.height;
  HRGN region = RegionFromBitmap(shape, RGB(255, 255, 255), RGB(0, 0, 0));
  auto* gauge = new CBitmapGauge(shape, std::move(*pixels), region);
  gauge->shape_pixels_.rows.top_row = gauge->shape_pixels_.pixels.data();
  gauge->window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, x, y, width - 1, height - 1, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), gauge);
  if (gauge->window_ == nullptr) {
    delete gauge;
    return nullptr;
  }
  // A gauge without a region (an all-white shape) stays rectangular. The window owns the
  // grown region once given.
  if (region != nullptr) {
    if (HRGN outline = GrowRegion(region, 1, 1)) SetWindowRgn(gauge->window_, outline, TRUE);
  }
  return gauge;
}

void CBitmapGauge::SetRange(int minimum, int maximum) {
  level_.minimum = minimum;
  level_.maximum = maximum;
  Invalidate();
}

int CBitmapGauge::SetPosition(int position) {
  const int previous = level_.position;
  level_.position = position;
  if (position != previous) Invalidate();
  return previous;
}

GaugeStyle CBitmapGauge::SetStyle(GaugeStyle style) {
  const GaugeStyle previous = level_.style;
  level_.style = style;
  if (style != previous) Invalidate();
  return previous;
}

void CBitmapGauge::SetColours(Colour first, Colour second) {
  if (first != level_.first || second != level_.second) Invalidate();
  level_.first = first;
  level_.second = second;
}

// Only the shape changes with the level; painting covers it whole, so nothing is erased.
void CBitmapGauge::Invalidate() {
  if (window_ == nullptr) return;
  if (shape_region_ != nullptr)
    InvalidateRgn(window_, shape_region_, FALSE);
  else
    InvalidateRect(window_, nullptr, FALSE);
}

void CBitmapGauge::Paint(HDC target) {
  RECT client;
  GetClientRect(window_, &client);
  const int width = client.right;
  const int height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(target);
  HBITMAP image = memory ? CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (image == nullptr) {
    if (memory) DeleteDC(memory);
    return;
  }
  HGDIOBJ old = SelectObject(memory, image);
  HBRUSH background = CreateSolidBrush(background_);
  FillRect(memory, &client, background);
  DeleteObject(background);

  if (shape_region_ != nullptr) SelectClipRgn(memory, shape_region_);
  ForEachGaugeBand(level_, width, height, [&](const GaugeBand& band) {
    RECT r{band.x, band.y, band.x + band.width, band.y + band.height};
    HBRUSH brush = CreateSolidBrush(ToColorRef(band.colour));
    FillRect(memory, &r, brush);
    DeleteObject(brush);
  });
  SelectClipRgn(memory, nullptr);
  GdiFlush();

  // The sunken edge: the ring above and left in the button shadow, below and right in the
  // button highlight, written straight into the image.
  auto* pixels = static_cast<uint32_t*>(bits);
  const uint32_t upper_left = AsPixel(GetSysColor(COLOR_BTNSHADOW));
  const uint32_t lower_right = AsPixel(GetSysColor(COLOR_BTNHIGHLIGHT));
  ForEachRingPixel(shape_pixels_.rows, [&](int u, int v, Ring ring) {
    if (u < width && v < height) pixels[v * width + u] = ring == Ring::kUpperLeft ? upper_left : lower_right;
  });

  // One copy of the finished image: the window never shows a half-drawn level.
  BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(image);
  DeleteDC(memory);
}

LRESULT CALLBACK CBitmapGauge::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* gauge = reinterpret_cast<CBitmapGauge*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (gauge != nullptr) gauge->Paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (gauge != nullptr) {
        gauge->window_ = nullptr;
        delete gauge;
      }
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace qz::ui::win32
