// Windows bitmaps: BMP files and device-independent bitmaps in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/picture_claim.h"
#include "converter/model/read_options.h"

namespace vz {

// The colour mode of a Windows bitmap's depth: 1 -> 2, 4 -> 16, 8 -> 256, else true
// colour.
ColourMode colourModeOfBitmapDepth(uint32_t bits);

// Bytes of the rows of a bitmap of the given width, depth and height, each row padded
// to 4 bytes; -1 when they would exceed the document limit kMaxPictureBytes. Widths and
// heights up to 2^31 and depths up to 32 bits never overflow.
int64_t bitmapRowsSize(int64_t width, uint32_t bits, int64_t height);

// A BMP file: kNotThisFormat without the "BM" signature. An OS/2 1.x file (12-byte
// header, 3-byte colour table entries) and a run-length coded one (RLE8, RLE4: pixels
// never painted stay 0) are read here; kUnsupported for other OS/2 headers, planes other
// than 1, or another compression than none and bit fields; otherwise what readDib gives.
// Run-length data that ends before the end-of-bitmap mark and the last row gives
// kPartial, its memory having grown with the rows reached; kDamaged when those are a
// small part of a picture that would take much memory (see endBrokenPicture). Every
// failure says why in its reason.
Status readBmp(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});

// The size a BMP file's header claims.
bool claimBmp(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);

// A DIB: an information header of 40 bytes or more, the channel masks of a bit-field
// bitmap (after a 40-byte header, or inside a longer one), the colour table, the rows.
// pixelOffset counts from the start of the information header; 0 means the rows follow
// the colour table. 1, 4, 8 and 24 bits are kept as they are; 16 and 32 bits become
// true colour (see bitFieldRowToBgr), composited over white when the header has an alpha
// mask and some pixel's alpha is not 0. On kOk the document holds the picture; otherwise
// it is empty. Rows the data does not hold are kDamaged, "data ends at row R of H".
Status readDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize, ImageDocument& doc,
               int64_t maxPixels = kDefaultMaxPixels);

}  // namespace vz
