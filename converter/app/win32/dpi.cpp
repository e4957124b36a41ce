#include "converter/app/win32/dpi.h"

#include <algorithm>

namespace vz {

UINT dpiOf(HWND window) {
  // GetDpiForWindow exists from Windows 10 1607 on; older systems have one DPI.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (found) {
    const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(found));
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  }
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : kStandardDpi;
}

int screenScaleFor(UINT dpi) {
  return std::max(1, static_cast<int>((dpi + kStandardDpi / 2) / kStandardDpi));
}

}  // namespace vz
