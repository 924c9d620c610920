#include "ui/win32/window_images.h"

#include <cstdint>

#include "ui/win32/resource_ids.h"

namespace qz::ui::win32 {

HBITMAP LoadPlainBitmap(int id) {
  return static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

HBITMAP LoadOpaqueBitmap(int id, COLORREF background) {
  HBITMAP bitmap = LoadPlainBitmap(id);
  if (bitmap == nullptr) return nullptr;
  DIBSECTION section{};
  if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || section.dsBm.bmBitsPixel != 32 ||
      section.dsBm.bmBits == nullptr)
    return bitmap;
  // Straight alpha: each pixel is mixed with the background by its own weight.
  const int bg[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  auto* pixels = static_cast<uint8_t*>(section.dsBm.bmBits);
  const std::size_t count = static_cast<std::size_t>(section.dsBm.bmWidth) * static_cast<std::size_t>(section.dsBm.bmHeight);
  for (std::size_t i = 0; i < count; ++i) {
    uint8_t* p = pixels + 4 * i;
    const int alpha = p[3];
    for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * alpha + bg[c] * (255 - alpha) + 127) / 255);
    p[3] = 255;
  }
  return bitmap;
}

HICON LoadApplicationIcon(bool big) {
  const int width = GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
  const int height = GetSystemMetrics(big ? SM_CYICON : SM_CYSMICON);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON,
                                        width, height, LR_SHARED));
}

}  // namespace qz::ui::win32
