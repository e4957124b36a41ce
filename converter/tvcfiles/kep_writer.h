// Saving the document as a KEP file (full header or sprite export, plain or RLE).
#pragma once

#include <string>

#include "converter/shell/app_state.h"
#include "converter/shell/prompts.h"

namespace vz {

// Writes the document to state.filePath with state.saveOptions (and the palette file
// beside it when asked). Reports a failure through the prompts and returns false.
bool saveKepFile(AppState& state, UserPrompts& prompts);

}  // namespace vz
