// What the window's status bar says about the picture.
#pragma once

#include <string>
#include <vector>

#include "converter/model/app_state.h"

namespace vz {

// The status bar's parts, left to right: the picture's size, its kind (as the
// picture-properties dialog words it), the zoom, and then the crop rectangle while
// crop mode is on or, while Save as is greyed, why it is.
std::vector<std::string> statusBarTexts(const AppState& state);

}  // namespace vz
