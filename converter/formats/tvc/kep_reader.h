// The TVC's own picture files: KEP (every form), VID and R16.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/picture_claim.h"
#include "converter/model/read_options.h"

namespace vz {

// Palette entries 0..3 of the last TVC picture read, kept for the decode dialog.
using KepDecodeColours = std::array<ColourValue, 4>;

// Reads every KEP form: mode bytes 0..3 headerless (also any file without the "KEP"
// signature, as 4 colours), 4..7 RLE, 8..11 plain, 12 and up sized but not decoded
// (kPartial, all zero). The header's height is a claim: the picture has at most the
// rows its data can fill. kPartial when the data ends before the picture is full.
Status readKep(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});
// A strip of up to 40 frames in video-memory order; kNotThisFormat without the "VID"
// signature, kDamaged when the header gives no rows (no frames, say).
Status readVid(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});
// A raw 32 x 60 sixteen-colour picture; an empty file is none, a short one is kPartial.
Status readR16(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});

// The sizes the TVC's files claim: a KEP header's width and height (a headerless file's
// width by its mode, a row for every 64 bytes), a VID file's frames' buffer, R16's 32 x 60.
bool claimKep(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);
bool claimVid(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);
bool claimR16(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);

// The pixel decoder shared by KEP and R16. data is what follows the "KEP" and mode
// bytes (the whole file for the signature-less forms); doc.width, height, colourMode
// and interlaced are set; rowBytes is T. Sets the palette by the mode byte, allocates
// the pixels (for the header forms, no more rows than the data can fill) and decodes
// plain or RLE data, never past length. kOk when the data filled every row, kPartial
// when what is missing stays zero; otherwise the document is left empty.
Status decodeTvcPicture(const uint8_t* data, size_t length, ImageDocument& doc, uint8_t modeByte,
                        size_t rowBytes, int64_t maxPixels);

}  // namespace vz
