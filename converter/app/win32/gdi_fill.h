// Filling a rectangle with one colour, for the dialogs that paint colour swatches.
#pragma once

#include <windows.h>

namespace vz {

inline void fillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

}  // namespace vz
