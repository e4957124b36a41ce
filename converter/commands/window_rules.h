// Decisions of the main window that need no window: which menu items are enabled and
// what the command line names.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "converter/model/app_state.h"

namespace vz {

struct MenuItemEnabling {
  int commandId;
  bool enabled;
};

// The items whose state depends on the picture's colour mode; every other item stays
// enabled. Save as and the colour switch need a 2-, 4- or 16-colour picture, the
// palette command a 2- or 4-colour one, and halving works on true colour only.
std::array<MenuItemEnabling, 5> menuEnabling(int32_t colourMode);

// The command line after the program name: one path, optionally between double
// quotes. Fills filePath (cut to what the file-name field holds, never inside a
// character) and fileTitle (the part after the last "\" or "/"). Returns false for an
// empty command line, leaving both untouched.
bool parseCommandLine(const std::string& utf8CommandLine, std::string& filePath,
                      std::string& fileTitle);

// The longest prefix of a UTF-8 text with at most maxCharacters characters.
std::string cutToCharacters(const std::string& utf8Text, size_t maxCharacters);

}  // namespace vz
