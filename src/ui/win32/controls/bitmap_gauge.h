// A level gauge whose outline is a bitmap, as a child window of its own class: the window
// takes the bitmap's shape (grown by one pixel for its edge), fills the shape from one end
// up to the position, solid or in a gradient between two colours, and draws a one-pixel
// sunken edge around it. The main window's signal meter is one, shaped as a stack of bars.
#pragma once

#include <windows.h>

#include "core/colors.h"
#include "ui/gauge_fill.h"
#include "ui/win32/controls/gdi_shapes.h"

namespace qz::ui::win32 {

class CBitmapGauge {
 public:
  // Registers the window class once; false when it cannot be.
  static bool Register();
  // A visible child of `parent` at (x, y), one pixel narrower and lower than `shape`,
  // which the gauge then owns. Null when the bitmap cannot be read or the window made.
  static CBitmapGauge* Create(HWND parent, int x, int y, HBITMAP shape, int id);

  CBitmapGauge(const CBitmapGauge&) = delete;
  CBitmapGauge& operator=(const CBitmapGauge&) = delete;

  void SetRange(int minimum, int maximum);
  // Each returns the previous value and repaints only on a change.
  int SetPosition(int position);
  GaugeStyle SetStyle(GaugeStyle style);
  void SetColours(Colour first, Colour second);

  int Position() const { return level_.position; }
  HWND Window() const { return window_; }

 private:
  CBitmapGauge(HBITMAP shape, BitmapPixels pixels, HRGN region);
  ~CBitmapGauge();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint(HDC target);
  void Invalidate();

  HWND window_ = nullptr;
  GaugeLevel level_;
  COLORREF background_;
  HBITMAP shape_;
  BitmapPixels shape_pixels_;
  HRGN shape_region_;
};

}  // namespace qz::ui::win32
