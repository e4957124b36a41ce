// The save-options dialog's controls and what its OK makes of them.
#pragma once

#include <cstdint>

#include "converter/model/settings.h"

namespace vz {

// Every opening starts from these values: no coding, full KEP header, nothing else
// checked, mask colour 0.
struct SaveOptionsChoice {
  bool rleCoding = false;       // "RLE" rather than "Nincs"
  bool spriteFormat = false;    // "Sprite (export)" rather than "Teljes KEP fejléc"
  bool paletteFile = false;     // "Paletta fájl készítése"
  bool backgroundMask = false;  // "Háttérmaszk ebből a színből:"
  uint8_t maskColour = 0;       // TVC palette index
};

// The check boxes and the colour button only mean something for the sprite forms;
// they keep their marks while disabled.
inline bool spriteControlsEnabled(const SaveOptionsChoice& choice) {
  return choice.spriteFormat;
}

SaveOptions saveOptionsFrom(const SaveOptionsChoice& choice);

}  // namespace vz
