// The TVC's 16 colours and its hardware colour bytes.
#pragma once

#include <array>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

constexpr int kTvcColourCount = 16;

// Index bits: blue 1, red 2, green 4, intensity 8; a channel that is on is 0x91, or
// 0xFF with intensity. Index 8 is black, like index 0.
extern const std::array<ColourValue, kTvcColourCount> kTvcPalette;
// The grey level of each TVC colour, in index order.
extern const std::array<uint8_t, kTvcColourCount> kTvcGreyLevels;

inline ColourValue tvcColour(int index) {
  return kTvcPalette[static_cast<size_t>(index & 15)];
}

// The TVC's colour byte: index bit k at byte bit 2k.
uint8_t hardwareByteOf(int tvcIndex);
// The TVC index whose bits 0..3 are the byte's bits 0, 2, 4, 6 (other bits ignored).
int tvcIndexOfHardwareByte(uint8_t hardwareByte);

// The first TVC index whose colour equals the value exactly, or -1.
int tvcIndexOf(ColourValue colour);

// Palette entries first..first+count-1 become the TVC colours of the given indices.
void setPaletteFromTvcIndices(ImageDocument& doc, int first, const uint8_t* tvcIndices, int count);
// Palette entries 0..15 become the TVC colours.
void setTvcPalette(ImageDocument& doc);

}  // namespace vz
