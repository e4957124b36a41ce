// Writing a picture as a PNG file.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/model/document.h"

namespace vz {

// The picture as a PNG file: an indexed picture in its own bit depth (1, 4 or 8) with
// the colour table as its palette (black entries added when a pixel value lies past
// the table's end), true colour as 8-bit RGB. Empty when the document holds no picture
// or memory runs out.
std::vector<uint8_t> encodePng(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable);

}  // namespace vz
