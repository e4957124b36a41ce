// The TVC's own picture files: KEP (every form), VID and R16.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "converter/shell/document.h"

namespace vz {

// Palette entries 0..3 after the last decode, kept for the decode dialog.
using KepDecodeColours = std::array<ColourValue, 4>;

int32_t readKep(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours);
int32_t readVid(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours);
int32_t readR16(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours);

}  // namespace vz
