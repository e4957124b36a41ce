// PNG pictures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/picture_claim.h"
#include "converter/model/read_options.h"

namespace vz {

// Fills the document from a whole PNG file, every colour type, bit depth and interlacing.
//
// Palette pictures and grey ones of up to 8 bits stay indexed: 1 bit gives colour mode
// 2, 2 bits 4, 4 bits 16, 8 bits 256. A palette picture takes PLTE's colours (entries
// past them black) with tRNS's alphas put over white; a grey one gets evenly spaced
// greys, and its tRNS grey becomes white, the last entry. 16-bit grey is 256 greys, each
// sample (v x 255 + 32767) / 65535. RGB, grey with alpha and RGBA become true colour:
// alpha put over white, c' = (c a + m (m - a) + m / 2) / m with m the largest sample,
// then 16-bit samples reduced as for grey; pixels of the tRNS colour become white.
// Ancillary chunks are skipped, also those whose CRC does not match (as libpng does);
// gamma is not applied.
//
// kNotThisFormat without the signature; kDamaged for a critical chunk whose CRC does not
// match, an invalid or missing IHDR, no IDAT, no PLTE for a palette picture, or image
// data that cannot hold the picture it claims; kUnsupported for an unknown critical
// chunk; kTooLarge beyond maxPixels or the document limit. Memory grows with the rows
// decoded (an interlaced picture's passes grow apart and are put together at the end).
// Image data that ends or goes bad part-way gives kPartial with the rows decoded before,
// or kDamaged when there are none or they are a small part of a picture that would take
// much memory (see endBrokenPicture); kOutOfMemory when memory runs out. Every failure
// says why in its reason ("CRC mismatch in IDAT", "data ends at row 12 of 480").
// Nothing is inflated beyond the picture's own size. A failed read leaves the document
// empty.
Status readPng(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options = {});

// The size a PNG file's IHDR claims.
bool claimPng(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim);

}  // namespace vz
