// The "Átméretezés" dialog (120): the new size and how the picture takes it, beside the
// picture's size as the user sees it.
#pragma once

#include <windows.h>

#include "converter/colour/resize.h"
#include "converter/model/app_state.h"

namespace vz {

// Returns IDOK with the chosen target, or IDCANCEL. A size that is no whole number
// from 1 to 65535 is reported and the dialog stays open.
INT_PTR runResizeDialog(HINSTANCE instance, HWND owner, const AppState& state,
                        ResizeTarget& target);

}  // namespace vz
