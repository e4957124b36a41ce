// The image document: the one open picture, and the rules of its pixel packing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <vector>

#include "base/status.h"

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

// How pixels are stored: true colour (blue, green, red bytes), or indices into a palette
// of as many entries as the mode's value: 2 (1 bit), 4, 8, 16 (4 bits), 32..256 (8 bits).
// The values are those stored files and the --info line have always shown.
enum class ColourMode : int32_t {
  kTrueColour = 0,
  kColours2 = 2,
  kColours4 = 4,
  kColours8 = 8,
  kColours16 = 16,
  kColours32 = 32,
  kColours64 = 64,
  kColours128 = 128,
  kColours256 = 256,
};

// The palette entries a mode indexes; 0 for true colour.
constexpr int paletteEntries(ColourMode mode) {
  return static_cast<int>(mode);
}

// The 2-, 4- and 16-colour modes the TVC shows.
constexpr bool isTvcColourMode(ColourMode mode) {
  return mode == ColourMode::kColours2 || mode == ColourMode::kColours4 ||
         mode == ColourMode::kColours16;
}

struct ImageDocument {
  std::vector<uint8_t> pixels;  // rowStride x height bytes, top row first
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowStride = 0;  // always a multiple of 4
  ColourMode colourMode = ColourMode::kTrueColour;
  std::array<ColourValue, 256> palette{};
  bool tvcPicture = false;
  bool interlaced = false;

  // The bytes of the picture; never more than kMaxPictureBytes.
  int32_t pictureSize() const { return static_cast<int32_t>(pixels.size()); }
  bool holdsPicture() const { return !pixels.empty(); }
  uint8_t* row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * rowStride; }
  const uint8_t* row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * rowStride; }
};

// Everything but the pixels, for comparing and fingerprinting documents in one place.
inline auto describingFields(const ImageDocument& doc) {
  return std::tie(doc.width, doc.height, doc.rowStride, doc.colourMode, doc.palette, doc.tvcPicture,
                  doc.interlaced);
}

// Same fields, same pixels.
bool operator==(const ImageDocument& a, const ImageDocument& b);
inline bool operator!=(const ImageDocument& a, const ImageDocument& b) {
  return !(a == b);
}

// A 64-bit FNV-1a over the fields and the pixels: tells a document from its changed self
// without keeping a copy.
uint64_t fingerprint(const ImageDocument& doc);

// True for the nine colour modes the document may hold (a mode made from a number may
// be none of them).
bool isValidColourMode(ColourMode colourMode);

// The mode indexing `entries` palette entries (0: true colour); false for any number that
// is not a mode's.
bool colourModeOfEntries(int64_t entries, ColourMode& mode);

// Bits per pixel of a colour mode: 24, 1, 4 or 8; 0 for an invalid mode.
int bitsPerPixel(ColourMode colourMode);

// Bytes per stored row for a width in a colour mode, padded to a multiple of 4.
// Returns -1 when the width is negative or the stride would not fit 31 bits.
int64_t rowStrideFor(ColourMode colourMode, int64_t width);

// Largest pixel buffer any reader or conversion makes; bigger pictures are refused
// rather than risking an allocation failure or a size that overflows 32 bits.
constexpr int64_t kMaxPictureBytes = 0x7FFFFFFF;

// A zeroed buffer of the given size; false (and `buffer` untouched) when memory cannot
// be had, so the caller can leave the document as it was. Every pixel buffer is made
// here.
bool allocateZeroed(std::vector<uint8_t>& buffer, size_t size);

// Forget the picture: no pixels, width and height 0. Palette, colour mode and flags stay
// as they are (callers decide about them).
void releasePicture(ImageDocument& doc);

// A picture arrived, whole or in part.
inline bool givesPicture(const Status& status) {
  return status == StatusCode::kOk || status == StatusCode::kPartial;
}

// How a reader gives up: the document is left without a picture and the reason returned.
inline Status failReading(ImageDocument& doc, Status status) {
  releasePicture(doc);
  return status;
}

// Sets up an empty (zeroed) pixel buffer for width x height in colourMode, with its
// rowStride. Returns the buffer size, or 0 when the size is not acceptable or memory
// cannot be had (nothing is then changed).
int32_t allocatePicture(ImageDocument& doc, int64_t width, int64_t height, ColourMode colourMode);

// Whether a header's width and height may be read: kOk; kDamaged for a width or height
// below 1; kTooLarge beyond maxPixels pixels or the document limit. Each with its reason.
Status checkPictureForReading(int64_t width, int64_t height, ColourMode colourMode,
                              int64_t maxPixels);

// allocatePicture as a reader needs it: checkPictureForReading's answers, and
// kOutOfMemory when the memory cannot be had.
Status allocatePictureForReading(ImageDocument& doc, int64_t width, int64_t height,
                                 ColourMode colourMode, int64_t maxPixels);

// "picture W x H is over the limit": the reason every reader gives for a picture too large.
Status pictureOverTheLimit(int64_t width, int64_t height);

// Hands a reader's finished picture to the document: pixels, size, row stride, colour
// mode and palette. Readers build into a separate record so that a failure halfway never
// leaves a half-built document.
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
