// Stand-ins for the colour buttons and the colour picker of the colour dialogs, so
// that the save-options dialog links and its button shows the mask colour until those
// arrive. Remove this file when converter/colour/win32 provides both.
#include <windows.h>

#include <cstdint>

#include "converter/colour/tvc_palette.h"

namespace vz {

void paintColourButton(const DRAWITEMSTRUCT& item, const uint8_t* editedColours) {
  const int index = static_cast<int>(item.CtlID) - 1015;
  const COLORREF colour = (item.itemState & ODS_DISABLED) || index < 0
                              ? RGB(0x7F, 0x7F, 0x7F)
                              : static_cast<COLORREF>(tvcColour(editedColours[index]));
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(item.hDC, &item.rcItem, brush);
  DeleteObject(brush);
}

int pickTvcColour(HINSTANCE, HWND, int current) {
  return current;
}

}  // namespace vz
