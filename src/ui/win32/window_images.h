// The window's bitmaps and icon from the resource script, ready to show: the telephones and
// the About logo hold an alpha channel, and are put on the dialogs' own face colour once,
// at load.
#pragma once

#include <windows.h>

namespace qz::ui::win32 {

// Bitmap resource `id` (32 bits with alpha) drawn on `background`; null when missing.
HBITMAP LoadOpaqueBitmap(int id, COLORREF background);
// Bitmap resource `id` as it is stored, as a DIB section (the gauge's shape).
HBITMAP LoadPlainBitmap(int id);
// The application icon at the system's size for big (title bar, Alt+Tab) or small icons.
HICON LoadApplicationIcon(bool big);

}  // namespace qz::ui::win32
