// Save as: the document written as a KEP file, and its palette file.
#pragma once

#include "converter/model/app_state.h"
#include "converter/model/prompts.h"

namespace vz {

// Writes the document to state.filePath with state.saveOptions (and the palette file
// beside it when asked). Reports a failure through the prompts and returns false.
bool saveKepFile(AppState& state, UserPrompts& prompts);

}  // namespace vz
