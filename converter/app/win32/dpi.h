// The monitor's DPI: the window and its dialogs size what they draw themselves by it.
#pragma once

#include <windows.h>

namespace vz {

constexpr UINT kStandardDpi = 96;

// The DPI of the monitor showing the window (the system's DPI where Windows cannot
// tell per monitor).
UINT dpiOf(HWND window);

// A size given in pixels at 96 DPI, at `dpi`.
inline int scaledToDpi(int pixelsAtStandardDpi, UINT dpi) {
  return MulDiv(pixelsAtStandardDpi, static_cast<int>(dpi), static_cast<int>(kStandardDpi));
}

// Whole screen pixels per picture pixel at `dpi`: 1 up to 143 DPI, 2 from 144, and so on.
// A whole factor keeps every picture pixel sharp.
int screenScaleFor(UINT dpi);

}  // namespace vz
