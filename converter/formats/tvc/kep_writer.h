// Saving the document as a KEP file (full header or sprite export, plain or RLE).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/model/document.h"
#include "converter/model/settings.h"

namespace vz {

enum class KepEncodeStatus {
  kOk,
  kNotTvcPicture,      // colour mode other than 2, 4 or 16, or an inconsistent buffer
  kTooLargeForHeader,  // the full header holds 16-bit widths and heights
  kTooLargeForSprite,  // the sprite header holds one byte for the row bytes and the height
  kOutOfMemory,        // no room for the coded data
};

struct KepEncoding {
  std::vector<uint8_t> picture;  // the whole picture file
  std::vector<uint8_t> palette;  // the palette file's four bytes; empty when none is made
};

// Codes the document as the bytes of a KEP file (and its palette file) by the options.
// Anything but kOk leaves nothing worth writing.
KepEncodeStatus encodeKep(const ImageDocument& doc, const SaveOptions& options,
                          KepEncoding& encoding);

// The picture path with the file name's extension replaced by PAL; a name without an
// extension gets ".PAL" added.
std::string palettePathFor(const std::string& picturePath);

}  // namespace vz
