#include "converter/formats/bit_fields.h"

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
  const int bytesPerPixel = bitsPerPixel / 8;
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* p = source + static_cast<size_t>(x) * bytesPerPixel;
    uint32_t pixel = p[0] | static_cast<uint32_t>(p[1]) << 8;
    if (bytesPerPixel == 4)
      pixel |= static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    target[3 * x] = channel(pixel, blue);
    target[3 * x + 1] = channel(pixel, green);
    target[3 * x + 2] = channel(pixel, red);
  }
}

}  // namespace vz
