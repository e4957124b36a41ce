// The standard open and save dialogs, starting from and filling filePath/fileTitle.
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"

namespace vz {

// Each returns true when the user confirmed a name; state.filePath and
// state.fileTitle then hold it. Cancelling changes nothing.
bool chooseOpenFile(HWND owner, AppState& state);
bool chooseSaveFile(HWND owner, AppState& state);

}  // namespace vz
