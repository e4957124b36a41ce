// The orientation a camera records in the EXIF block of an APP1 segment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

// The payload of an APP1 segment (after its length): "Exif\0\0", then a TIFF header in
// either byte order whose first IFD may hold tag 0x0112. Returns that orientation, 1..8,
// or 0 when the block holds none; every offset and count is checked against the block.
int32_t exifOrientation(const uint8_t* block, size_t size);

}  // namespace vz
