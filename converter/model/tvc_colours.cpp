#include "converter/model/tvc_colours.h"

namespace vz {

namespace {

constexpr ColourValue tvcColourFromBits(int index) {
  const uint8_t on = (index & 8) ? 0xFF : 0x91;
  const uint8_t blue = (index & 1) ? on : 0;
  const uint8_t red = (index & 2) ? on : 0;
  const uint8_t green = (index & 4) ? on : 0;
  return makeColour(red, green, blue);
}

}  // namespace

const std::array<ColourValue, kTvcColourCount> kTvcPalette = {
    tvcColourFromBits(0),  tvcColourFromBits(1),  tvcColourFromBits(2),  tvcColourFromBits(3),
    tvcColourFromBits(4),  tvcColourFromBits(5),  tvcColourFromBits(6),  tvcColourFromBits(7),
    tvcColourFromBits(8),  tvcColourFromBits(9),  tvcColourFromBits(10), tvcColourFromBits(11),
    tvcColourFromBits(12), tvcColourFromBits(13), tvcColourFromBits(14), tvcColourFromBits(15)};

const std::array<uint8_t, kTvcColourCount> kTvcGreyLevels = {0, 15, 43, 59,  85,  101, 129, 145,
                                                             0, 28, 76, 104, 150, 178, 226, 255};

uint8_t hardwareByteOf(int tvcIndex) {
  uint8_t byte = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (tvcIndex & (1 << bit)) byte |= static_cast<uint8_t>(1 << (2 * bit));
  return byte;
}

int tvcIndexOfHardwareByte(uint8_t hardwareByte) {
  int index = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (hardwareByte & (1 << (2 * bit))) index |= 1 << bit;
  return index;
}

int tvcIndexOf(ColourValue colour) {
  for (int i = 0; i < kTvcColourCount; ++i)
    if (kTvcPalette[static_cast<size_t>(i)] == colour) return i;
  return -1;
}

void setPaletteFromTvcIndices(ImageDocument& doc, int first, const uint8_t* tvcIndices, int count) {
  for (int i = 0; i < count; ++i)
    doc.palette[static_cast<size_t>(first + i)] = tvcColour(tvcIndices[i]);
}

void setTvcPalette(ImageDocument& doc) {
  for (int i = 0; i < kTvcColourCount; ++i) doc.palette[static_cast<size_t>(i)] = tvcColour(i);
}

}  // namespace vz
