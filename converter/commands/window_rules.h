// Decisions of the main window that need no window: what the command line names.
#pragma once

#include <cstdint>
#include <string>

#include "converter/model/app_state.h"

namespace vz {

// The command line after the program name: one path, optionally between double
// quotes. Fills filePath (cut to what the file-name field holds, never inside a
// character) and fileTitle (the part after the last "\" or "/"). Returns false for an
// empty command line, leaving both untouched.
bool parseCommandLine(const std::string& utf8CommandLine, std::string& filePath,
                      std::string& fileTitle);

// The name Save as proposes: the title's file in the folder of filePath, its
// extension replaced by ".KEP" (added when it has none), so that saving never offers
// to overwrite the source picture. Empty when there is no title.
std::string kepNameToPropose(const std::string& filePath, const std::string& fileTitle);

// The longest prefix of a UTF-8 text with at most maxCharacters characters.
std::string cutToCharacters(const std::string& utf8Text, size_t maxCharacters);

}  // namespace vz
