#include "converter/colour/win32/colour_dialogs.h"

namespace vz {

INT_PTR runEffectSettingsDialog(HINSTANCE, HWND, AppState&) {
  return IDCANCEL;
}
INT_PTR runPaletteDialog(HINSTANCE, HWND, AppState&) {
  return IDCANCEL;
}

}  // namespace vz
