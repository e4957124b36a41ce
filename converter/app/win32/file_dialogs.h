// The standard open and save dialogs, starting from filePath and fileTitle.
#pragma once

#include <windows.h>

#include <string>

#include "converter/model/app_state.h"

namespace vz {

// Each returns true when the user confirmed a name; `path` then holds it. The state
// keeps its names: the command that reads or writes the file sets them once it has.
bool chooseOpenFile(HWND owner, const AppState& state, std::string& path);
bool chooseSaveFile(HWND owner, const AppState& state, std::string& path);

// The save dialog for a PNG file, offering the picture's name with the extension PNG.
// True when the user confirmed a name; `path` then holds it. The state keeps its names.
bool choosePngFile(HWND owner, const AppState& state, std::string& path);

}  // namespace vz
