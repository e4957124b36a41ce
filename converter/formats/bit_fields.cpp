#include "converter/formats/bit_fields.h"

#include <array>

#include "base/little_endian.h"

namespace vz {

namespace {

int lowestBit(uint32_t mask) {
  int lowest = 0;
  while (lowest < 31 && !(mask & (1u << lowest))) ++lowest;
  return lowest;
}

// One colour channel: a channel of up to 8 bits is scaled to 0..255 by a table, a wider
// one keeps its top 8 bits.
class ChannelScale {
 public:
  explicit ChannelScale(uint32_t mask) : mask_(mask), lowest_(lowestBit(mask)) {
    const uint32_t largest = mask_ >> lowest_;
    int highest = 0;
    while (highest < 31 && (largest >> (highest + 1)) != 0) ++highest;
    wide_ = highest >= 8;
    if (wide_) {
      lowest_ += highest - 7;
      return;
    }
    for (uint32_t v = 0; v <= largest; ++v)
      table_[v] =
          largest == 0 ? uint8_t{0} : static_cast<uint8_t>((v * 255 + largest / 2) / largest);
  }

  uint8_t of(uint32_t pixel) const {
    const uint32_t value = (pixel & mask_) >> lowest_;
    return wide_ ? static_cast<uint8_t>(value) : table_[value];
  }

 private:
  uint32_t mask_;
  int lowest_;
  bool wide_ = false;
  std::array<uint8_t, 256> table_{};
};

// Alpha is scaled, so that a narrow mask's largest value is opaque.
struct AlphaScale {
  uint32_t mask;
  int lowest;
  uint64_t largest;
};

AlphaScale alphaScaleFor(uint32_t mask) {
  const int lowest = lowestBit(mask);
  return {mask, lowest, mask >> lowest};
}

uint32_t alphaOf(uint32_t pixel, const AlphaScale& a) {
  const uint64_t value = (pixel & a.mask) >> a.lowest;
  return static_cast<uint32_t>((value * 255 + a.largest / 2) / a.largest);
}

uint8_t overWhite(uint8_t colour, uint32_t alpha) {
  return static_cast<uint8_t>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

uint32_t pixelAt(const uint8_t* source, int bytesPerPixel, int32_t x) {
  const uint8_t* p = source + static_cast<size_t>(x) * bytesPerPixel;
  return bytesPerPixel == 4 ? loadU32Le(p) : loadU16Le(p);
}

}  // namespace

ChannelMasks plainChannelMasks(int bitsPerPixel) {
  if (bitsPerPixel == 16) return {0x7C00, 0x03E0, 0x001F};
  return {0xFF0000, 0x00FF00, 0x0000FF};
}

void bitFieldRowToBgr(const uint8_t* source, int bitsPerPixel, int32_t width,
                      const ChannelMasks& masks, uint8_t* target) {
  const ChannelScale red(masks.red);
  const ChannelScale green(masks.green);
  const ChannelScale blue(masks.blue);
  const AlphaScale alpha = alphaScaleFor(masks.alpha);
  const int bytesPerPixel = bitsPerPixel / 8;
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t pixel = pixelAt(source, bytesPerPixel, x);
    uint8_t* out = target + 3 * static_cast<size_t>(x);
    out[0] = blue.of(pixel);
    out[1] = green.of(pixel);
    out[2] = red.of(pixel);
    if (masks.alpha != 0) {
      const uint32_t a = alphaOf(pixel, alpha);
      for (int i = 0; i < 3; ++i) out[i] = overWhite(out[i], a);
    }
  }
}

bool rowHasAlpha(const uint8_t* source, int bitsPerPixel, int32_t width, uint32_t alphaMask) {
  const int bytesPerPixel = bitsPerPixel / 8;
  for (int32_t x = 0; x < width; ++x)
    if (pixelAt(source, bytesPerPixel, x) & alphaMask) return true;
  return false;
}

}  // namespace vz
