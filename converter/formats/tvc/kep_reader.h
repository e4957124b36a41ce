// The TVC's own picture files: KEP (every form), VID and R16.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

// Palette entries 0..3 after the last decode, kept for the decode dialog.
using KepDecodeColours = std::array<ColourValue, 4>;

// Reads every KEP form: mode bytes 0..3 headerless (also any file without the "KEP"
// signature, as 4 colours), 4..7 RLE, 8..11 plain, 12 and up sized but not decoded.
// Returns rowStride x height, 0 when the picture is empty.
int32_t readKep(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours);
// A strip of up to 40 frames in video-memory order; 0 when it is no VID file.
int32_t readVid(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours);
// A raw 32 x 60 sixteen-colour picture; always 960.
int32_t readR16(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours);

// The pixel decoder shared by KEP and R16. data is what follows the "KEP" and mode
// bytes (the whole file for the signature-less forms); doc.width, height, colourMode
// and interlaced are set; rowBytes is T. Allocates the pixels, sets the palette by the
// mode byte, decodes plain or RLE data (never past length; what is missing stays zero)
// and returns rowStride x height.
int32_t decodeTvcPicture(const uint8_t* data, size_t length, ImageDocument& doc, uint8_t modeByte,
                         size_t rowBytes, KepDecodeColours& kepDecodeColours);

}  // namespace vz
