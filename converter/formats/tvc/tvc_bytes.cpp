#include "converter/formats/tvc/tvc_bytes.h"

namespace vz {

ColourMode colourModeOfKind(int kind) {
  switch (kind & 3) {
    case kTvcTwoColours:
      return ColourMode::kColours2;
    case kTvcFourColours:
      return ColourMode::kColours4;
    default:
      return ColourMode::kColours16;
  }
}

int64_t tvcBytesPerRow(ColourMode colourMode, int64_t width) {
  if (width <= 0) return 0;
  switch (colourMode) {
    case ColourMode::kColours2:
      return (width + 7) / 8;
    case ColourMode::kColours4:
      return (width + 3) / 4;
    case ColourMode::kColours16:
      return (width + 1) / 2;
    default:
      return 0;
  }
}

uint8_t tvcByteFromSixteenColours(uint8_t documentByte) {
  const int left = documentByte >> 4;
  const int right = documentByte & 0x0F;
  int tvcByte = 0;
  for (int bit = 0; bit < 4; ++bit) {
    tvcByte |= ((left >> bit) & 1) << (2 * bit + 1);
    tvcByte |= ((right >> bit) & 1) << (2 * bit);
  }
  return static_cast<uint8_t>(tvcByte);
}

uint8_t sixteenColoursFromTvcByte(uint8_t tvcByte) {
  int left = 0;
  int right = 0;
  for (int bit = 0; bit < 4; ++bit) {
    left |= ((tvcByte >> (2 * bit + 1)) & 1) << bit;
    right |= ((tvcByte >> (2 * bit)) & 1) << bit;
  }
  return static_cast<uint8_t>(left << 4 | right);
}

uint8_t tvcByteFromFourColours(uint8_t first, uint8_t second) {
  const int pixels[4] = {first >> 4, first & 0x0F, second >> 4, second & 0x0F};
  int tvcByte = 0;
  for (int k = 0; k < 4; ++k) {
    tvcByte |= (pixels[k] & 1) << (7 - k);
    tvcByte |= ((pixels[k] >> 1) & 1) << (3 - k);
  }
  return static_cast<uint8_t>(tvcByte);
}

void fourColoursFromTvcByte(uint8_t tvcByte, uint8_t& first, uint8_t& second) {
  int pixels[4];
  for (int k = 0; k < 4; ++k)
    pixels[k] = ((tvcByte >> (3 - k)) & 1) * 2 + ((tvcByte >> (7 - k)) & 1);
  first = static_cast<uint8_t>(pixels[0] << 4 | pixels[1]);
  second = static_cast<uint8_t>(pixels[2] << 4 | pixels[3]);
}

bool tvcLayoutOf(ColourMode colourMode, bool interlaced, TvcLayout& layout) {
  switch (colourMode) {
    case ColourMode::kColours2:
      layout = TvcLayout::kTwoColours;
      return true;
    case ColourMode::kColours4:
      layout = TvcLayout::kFourColours;
      return true;
    case ColourMode::kColours16:
      layout = interlaced ? TvcLayout::kFourColours : TvcLayout::kSixteenColours;
      return true;
    default:
      return false;
  }
}

uint8_t tvcByteAt(TvcLayout layout, const uint8_t* unit) {
  switch (layout) {
    case TvcLayout::kTwoColours:
      return unit[0];
    case TvcLayout::kFourColours:
      return tvcByteFromFourColours(unit[0], unit[1]);
    default:
      return tvcByteFromSixteenColours(unit[0]);
  }
}

void storeTvcByte(TvcLayout layout, uint8_t tvcByte, uint8_t* unit) {
  switch (layout) {
    case TvcLayout::kTwoColours:
      unit[0] = tvcByte;
      break;
    case TvcLayout::kFourColours:
      fourColoursFromTvcByte(tvcByte, unit[0], unit[1]);
      break;
    default:
      unit[0] = sixteenColoursFromTvcByte(tvcByte);
  }
}

}  // namespace vz
