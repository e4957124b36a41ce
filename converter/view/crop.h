// Cutting the document to a rectangle of document pixels.
#pragma once

#include <cstdint>

#include "converter/model/document.h"

namespace vz {

// Keeps columns x0 .. x1-1 and rows y0 .. y1-1 (clipped to the picture); palette,
// colour mode and flags stay. An empty rectangle leaves the document as it was and
// returns false; otherwise pictureSize becomes the new buffer size.
bool cropDocument(ImageDocument& doc, int32_t x0, int32_t y0, int32_t x1, int32_t y1);

}  // namespace vz
