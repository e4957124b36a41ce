// The colour subsystem's dialogs: effect settings (106) and palette (108).
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"

namespace vz {

// Each returns IDOK or IDCANCEL, as the dialog ended.
INT_PTR runEffectSettingsDialog(HINSTANCE instance, HWND owner, AppState& state);
// On IDOK the document's palette entries 0..3 and pixels have been remapped.
INT_PTR runPaletteDialog(HINSTANCE instance, HWND owner, AppState& state);

}  // namespace vz
