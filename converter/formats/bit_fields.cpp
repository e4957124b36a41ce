#include "converter/formats/bit_fields.h"

#include "base/little_endian.h"

namespace vz {

namespace {

struct ChannelShift {
  uint32_t mask;
  int shift;  // positive: right, negative: left
};

ChannelShift shiftFor(uint32_t mask) {
  int highest = -1;
  for (int bit = 31; bit >= 0; --bit)
    if (mask & (1u << bit)) {
      highest = bit;
      break;
    }
  return {mask, highest < 0 ? 0 : highest - 7};
}

uint8_t channel(uint32_t pixel, const ChannelShift& c) {
  const uint32_t value = pixel & c.mask;
  return static_cast<uint8_t>(c.shift >= 0 ? value >> c.shift : value << -c.shift);
}

// Alpha is scaled rather than shifted, so that a narrow mask's largest value is opaque.
struct AlphaScale {
  uint32_t mask;
  int lowest;
  uint64_t largest;
};

AlphaScale alphaScaleFor(uint32_t mask) {
  int lowest = 0;
  while (lowest < 31 && !(mask & (1u << lowest))) ++lowest;
  return {mask, lowest, mask >> lowest};
}

uint32_t alphaOf(uint32_t pixel, const AlphaScale& a) {
  const uint64_t value = (pixel & a.mask) >> a.lowest;
  return static_cast<uint32_t>((value * 255 + a.largest / 2) / a.largest);
}

uint8_t overWhite(uint8_t colour, uint32_t alpha) {
  return static_cast<uint8_t>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace

ChannelMasks plainChannelMasks(int bitsPerPixel) {
  if (bitsPerPixel == 16) return {0x7C00, 0x03E0, 0x001F};
  return {0xFF0000, 0x00FF00, 0x0000FF};
}

void bitFieldRowToBgr(const uint8_t* source, int bitsPerPixel, int32_t width,
                      const ChannelMasks& masks, uint8_t* target) {
  const ChannelShift red = shiftFor(masks.red);
  const ChannelShift green = shiftFor(masks.green);
  const ChannelShift blue = shiftFor(masks.blue);
  const AlphaScale alpha = alphaScaleFor(masks.alpha);
  const int bytesPerPixel = bitsPerPixel / 8;
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* p = source + static_cast<size_t>(x) * bytesPerPixel;
    const uint32_t pixel = bytesPerPixel == 4 ? loadU32Le(p) : loadU16Le(p);
    uint8_t* out = target + 3 * static_cast<size_t>(x);
    out[0] = channel(pixel, blue);
    out[1] = channel(pixel, green);
    out[2] = channel(pixel, red);
    if (masks.alpha != 0) {
      const uint32_t a = alphaOf(pixel, alpha);
      for (int i = 0; i < 3; ++i) out[i] = overWhite(out[i], a);
    }
  }
}

}  // namespace vz
