// What the picture-properties dialog shows: the kind of picture and one list entry per
// palette entry in use, with its colour and how many pixels use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/model/document.h"

namespace vz {

// "TVC - 4 szín (Interlaced)", "TVC - N szín", "True color" or "RGB - N szin".
std::string pictureKindText(const ImageDocument& doc);

// Only a TVC picture that is not interlaced can be decoded anew.
bool canRedecode(const ImageDocument& doc);

struct PaletteListEntry {
  int index = 0;
  ColourValue colour = 0;
  uint32_t pixelCount = 0;
};

// colourMode entries (none for true colour), with the counts of the colour histogram.
std::vector<PaletteListEntry> paletteListEntries(const ImageDocument& doc);

}  // namespace vz
