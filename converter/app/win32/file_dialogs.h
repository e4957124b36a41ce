// The standard open and save dialogs, starting from and filling filePath/fileTitle.
#pragma once

#include <windows.h>

#include <string>

#include "converter/model/app_state.h"

namespace vz {

// Each returns true when the user confirmed a name; state.filePath and
// state.fileTitle then hold it. Cancelling changes nothing.
bool chooseOpenFile(HWND owner, AppState& state);
bool chooseSaveFile(HWND owner, AppState& state);

// The save dialog for a PNG file, offering the picture's name with the extension PNG.
// True when the user confirmed a name; `path` then holds it. The state keeps its names.
bool choosePngFile(HWND owner, const AppState& state, std::string& path);

}  // namespace vz
