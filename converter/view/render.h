// How the document is handed to the screen (and to exported files): bit depth and
// colour table of the device-independent bitmap that shows it.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/model/document.h"

namespace vz {

struct RenderDescription {
  int bitsPerPixel = 0;                  // 24, 1, 4 or 8
  std::vector<ColourValue> colourTable;  // red in the low byte, as the palette
};

// Colour table: none for true colour, 16 entries for colour mode 4 (the picture uses
// 0..3), otherwise colourMode entries; in the black-and-white view each entry is the
// grey level of its colour.
RenderDescription describeRender(const ImageDocument& doc, bool blackAndWhiteView);

}  // namespace vz
