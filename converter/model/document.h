// The image document: the one open picture, and the rules of its pixel packing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/model/read_status.h"

namespace vz {

// A colour value: red in bits 0-7, green in 8-15, blue in 16-23, top byte 0.
using ColourValue = uint32_t;

constexpr ColourValue makeColour(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<ColourValue>(red) | static_cast<ColourValue>(green) << 8 |
         static_cast<ColourValue>(blue) << 16;
}
constexpr uint8_t redOf(ColourValue c) {
  return static_cast<uint8_t>(c);
}
constexpr uint8_t greenOf(ColourValue c) {
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t blueOf(ColourValue c) {
  return static_cast<uint8_t>(c >> 16);
}

// colourMode 0 is true colour (blue, green, red bytes); otherwise it is the number of
// palette entries the pixel values index: 2 (1 bit), 4, 8, 16 (4 bits), 32..256 (8 bits).
constexpr int32_t kTrueColour = 0;

struct ImageDocument {
  std::vector<uint8_t> pixels;  // rowStride x height bytes, top row first
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowStride = 0;  // always a multiple of 4
  int32_t colourMode = kTrueColour;
  std::array<ColourValue, 256> palette{};
  int32_t pictureSize = 0;  // > 0: the document holds a picture
  bool tvcPicture = false;
  bool interlaced = false;

  bool holdsPicture() const { return pictureSize > 0; }
  uint8_t* row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * rowStride; }
  const uint8_t* row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * rowStride; }
};

// True for the nine colour modes the document may hold.
bool isValidColourMode(int32_t colourMode);

// Bits per pixel of a colour mode: 24, 1, 4 or 8; 0 for an invalid mode.
int bitsPerPixel(int32_t colourMode);

// Bytes per stored row for a width in a colour mode, padded to a multiple of 4.
// Returns -1 when the width is negative or the stride would not fit 31 bits.
int64_t rowStrideFor(int32_t colourMode, int64_t width);

// Largest pixel buffer any reader or conversion makes; bigger pictures are refused
// rather than risking an allocation failure or a size that overflows 32 bits.
constexpr int64_t kMaxPictureBytes = 0x7FFFFFFF;

// A zeroed buffer of the given size; false (and `buffer` untouched) when memory cannot
// be had, so the caller can leave the document as it was. Every pixel buffer is made
// here.
bool allocateZeroed(std::vector<uint8_t>& buffer, size_t size);

// Forget the picture: no pixels, width, height and pictureSize 0. Palette, colour
// mode and flags stay as they are (callers decide about them).
void releasePicture(ImageDocument& doc);

// How a reader gives up: the document is left without a picture and the reason returned.
inline ReadStatus failReading(ImageDocument& doc, ReadStatus status) {
  releasePicture(doc);
  return status;
}

// Sets up an empty (zeroed) pixel buffer for width x height in colourMode, with its
// rowStride. Returns the buffer size, or 0 when the size is not acceptable or memory
// cannot be had (nothing is then changed).
int32_t allocatePicture(ImageDocument& doc, int64_t width, int64_t height, int32_t colourMode);

// allocatePicture as a reader needs it: kOk; kDamaged for a width or height below 1;
// kTooLarge beyond the document limit; kOutOfMemory when the memory cannot be had.
ReadStatus allocatePictureForReading(ImageDocument& doc, int64_t width, int64_t height,
                                     int32_t colourMode);

// Hands a reader's finished picture to the document: pixels, size, row stride, colour
// mode and palette; pictureSize becomes the buffer size. Readers build into a separate
// record so that a failure halfway never leaves a half-built document.
void installPicture(ImageDocument& doc, ImageDocument&& picture);

// Packed-pixel access: bitsPerPixel 1 (leftmost pixel in bit 7) or 4 (left pixel in
// the high nibble) or 8.
inline uint8_t getPackedPixel(const uint8_t* row, int32_t x, int bits) {
  switch (bits) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
      return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    default:
      return row[x];
  }
}

inline void setPackedPixel(uint8_t* row, int32_t x, int bits, uint8_t value) {
  switch (bits) {
    case 1: {
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
      row[x / 8] = static_cast<uint8_t>((row[x / 8] & ~mask) | (value & 1 ? mask : 0));
      break;
    }
    case 4:
      if (x % 2 == 0)
        row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0x0F) | (value & 0x0F) << 4);
      else
        row[x / 2] = static_cast<uint8_t>((row[x / 2] & 0xF0) | (value & 0x0F));
      break;
    default:
      row[x] = value;
  }
}

// Grey level 0..255: B x 0.11, plus G x 0.59, plus R x 0.3, in double precision, in
// that order, truncated toward zero.
int greyLevel(ColourValue colour);
int greyLevelOf(int red, int green, int blue);

}  // namespace vz
