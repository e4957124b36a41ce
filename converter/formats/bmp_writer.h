// Writing the document as a BMP file.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/model/document.h"

namespace vz {

// The document as an uncompressed BMP file in its own bit depth, rows bottom-up, with
// the given colour table (none for true colour). Empty when the document holds no
// picture, or when no memory can be had for the file.
std::vector<uint8_t> encodeBmp(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable);

}  // namespace vz
