// The "Átméretezés" dialog (120): the new size and how the picture takes it.
#pragma once

#include <windows.h>

#include "converter/colour/resize.h"
#include "converter/model/settings.h"

namespace vz {

// Returns IDOK with the chosen target, or IDCANCEL. A size that is no whole number
// from 1 to 65535 is reported and the dialog stays open.
INT_PTR runResizeDialog(HINSTANCE instance, HWND owner, const EffectSettings& settings,
                        ResizeTarget& target);

}  // namespace vz
