// The "Tónus" dialog (130): brightness, contrast, gamma and saturation with a live
// preview in the main window.
#pragma once

#include <windows.h>

#include <functional>

#include "converter/model/app_state.h"

namespace vz {

// Returns IDOK or IDCANCEL. While the dialog is open, state.document shows the preview
// and previewShown is called after each new one (the main window renders and repaints).
// On IDOK the document holds the toned picture, on IDCANCEL the picture as it was.
INT_PTR runToneDialog(HINSTANCE instance, HWND owner, AppState& state,
                      const std::function<void()>& previewShown);

}  // namespace vz
