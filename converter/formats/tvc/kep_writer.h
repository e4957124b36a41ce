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

// The options that write a KEP file in the form `fileData` has: the full header, plain or
// RLE as it is coded. False for what the writer does not make (the headerless forms,
// modes it does not decode) and for anything that is no KEP file.
bool saveOptionsOfKepFile(size_t fileSize, const uint8_t* fileData, SaveOptions& options);

// The picture path with the file name's extension replaced by PAL; a name without an
// extension gets ".PAL" added.
std::string palettePathFor(const std::string& picturePath);

}  // namespace vz
