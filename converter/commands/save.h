// Save and Save as: the document written as a KEP file, and its palette file.
#pragma once

#include <string>

#include "base/status.h"
#include "converter/model/app_state.h"
#include "converter/model/prompts.h"

namespace vz {

// Writes the document to `path` with the options (and the palette file beside it when
// they ask for one). Reports a failure through the prompts and returns why.
Status saveKepFile(const ImageDocument& doc, const SaveOptions& options, const std::string& path,
                   UserPrompts& prompts);

// The same with state.saveOptions.
Status saveKepFile(const AppState& state, const std::string& path, UserPrompts& prompts);

}  // namespace vz
