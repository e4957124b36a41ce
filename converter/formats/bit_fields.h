// 16- and 32-bit bitmaps with channel masks, turned into 24-bit blue, green, red.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

struct ChannelMasks {
  uint32_t red = 0;
  uint32_t green = 0;
  uint32_t blue = 0;
  uint32_t alpha = 0;  // 0: every pixel opaque
};

// The masks of uncompressed pixels: 5-5-5 for 16 bits, 8-8-8 for 32 bits.
ChannelMasks plainChannelMasks(int bitsPerPixel);

// Converts one row of width 16- or 32-bit little-endian pixels into blue, green, red
// bytes. A channel of up to 8 bits, whose largest value is m, is scaled to the full
// range: (v x 255 + m / 2) / m, so that a 5-bit 31 is 255; a wider one keeps its top 8
// bits. With an alpha mask the alpha value is scaled the same way (all its bits set is
// 255) and each channel c is put over white: (c x a + 255 x (255 - a) + 127) / 255.
void bitFieldRowToBgr(const uint8_t* source, int bitsPerPixel, int32_t width,
                      const ChannelMasks& masks, uint8_t* target);

// Whether any of the row's width pixels has a bit of alphaMask set. A picture whose alpha
// is 0 everywhere was written by a program that leaves the alpha byte unused, and is
// opaque, as browsers and paint programs show it.
bool rowHasAlpha(const uint8_t* source, int bitsPerPixel, int32_t width, uint32_t alphaMask);

}  // namespace vz
