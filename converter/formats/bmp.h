// Windows bitmaps: BMP files and device-independent bitmaps in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

// The colour mode of a Windows bitmap's depth: 1 -> 2, 4 -> 16, 8 -> 256, else true
// colour.
int32_t colourModeOfBitmapDepth(uint32_t bits);

// A BMP file: -1 for a wrong signature, planes other than 1 or any compression;
// otherwise the result of readDib. Fills the document; returns the picture size.
int32_t readBmp(size_t fileSize, const uint8_t* fileData, ImageDocument& doc);

// A DIB (information header, colour table, rows). pixelOffset counts from the start of
// the information header; 0 means the rows follow the colour table. Returns the
// picture size, or 0 when the data cannot be read (the document is then empty).
int32_t readDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize, ImageDocument& doc);

}  // namespace vz
