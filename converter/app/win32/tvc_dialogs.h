// The TVC file dialogs: save options (104) and picture properties (103, which opens
// the KEP decode dialog 105).
#pragma once

#include <windows.h>

#include <functional>

#include "converter/model/app_state.h"

namespace vz {

// Returns IDOK or IDCANCEL; only IDOK changes state.saveOptions.
INT_PTR runSaveOptionsDialog(HINSTANCE instance, HWND owner, AppState& state);

// Returns IDOK or IDCANCEL. After a re-decode the dialog has reset the zoom to 1 x 1
// and calls pictureRedecoded, which makes the main window rebuild its screen bitmap
// at the new size, render, lay out and repaint.
INT_PTR runPicturePropertiesDialog(HINSTANCE instance, HWND owner, AppState& state,
                                   const std::function<void()>& pictureRedecoded);

}  // namespace vz
