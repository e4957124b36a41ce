// Save as: the document written as a KEP file, and its palette file.
#pragma once

#include <string>

#include "base/status.h"
#include "converter/model/app_state.h"
#include "converter/model/prompts.h"

namespace vz {

// Writes the document to `path` with state.saveOptions (and the palette file beside it
// when asked). Reports a failure through the prompts and returns why.
Status saveKepFile(const AppState& state, const std::string& path, UserPrompts& prompts);

}  // namespace vz
