// Helpers shared by the conversions: which documents they can work on, zeroed
// buffers that fail softly, reading source rows as colours, and packing output rows.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/colour/tvc_palette.h"
#include "converter/shell/document.h"

namespace vz {

// The document holds pixels the conversions can walk: a picture of at least one row
// and one column, in a valid mode, whose buffer covers every row at its stride.
bool hasConvertiblePicture(const ImageDocument& doc);

// A zeroed buffer of the given size; false (and `buffer` untouched) when memory
// cannot be had, so the caller can leave the document as it was.
bool allocateZeroed(std::vector<uint8_t>& buffer, size_t size);

// True colour or an indexed mode read through the palette: 4, 8, 16 and 32..256.
// 1-bit pictures are not read by the conversions that use this.
bool readsAsColours(int32_t colourMode);

// Calls visit(x, red, green, blue) for the first `width` pixels of a row in a
// colour mode for which readsAsColours holds.
template <typename Visit>
void forEachPixelColour(const ImageDocument& doc, const uint8_t* row, Visit visit) {
  const int32_t width = doc.width;
  if (doc.colourMode == kTrueColour) {
    for (int32_t x = 0; x < width; ++x, row += 3) visit(x, row[2], row[1], row[0]);
  } else if (bitsPerPixel(doc.colourMode) == 4) {
    for (int32_t x = 0; x < width; ++x) {
      const ColourValue c = doc.palette[(x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4];
      visit(x, redOf(c), greenOf(c), blueOf(c));
    }
  } else {
    for (int32_t x = 0; x < width; ++x) {
      const ColourValue c = doc.palette[row[x]];
      visit(x, redOf(c), greenOf(c), blueOf(c));
    }
  }
}

// Fills an output row with 1- or 4-bit pixel values, first pixel in the top bits.
// A partly filled last byte keeps its low bits 0.
class PackedRowWriter {
 public:
  PackedRowWriter(uint8_t* row, int bitsPerPixel)
      : out_(row), bits_(bitsPerPixel), perByte_(8 / bitsPerPixel) {}
  void append(unsigned value) {
    pending_ = (pending_ << bits_) | value;
    if (++count_ == perByte_) {
      *out_++ = static_cast<uint8_t>(pending_);
      pending_ = 0;
      count_ = 0;
    }
  }
  void finish() {
    if (count_ != 0) *out_ = static_cast<uint8_t>(pending_ << (bits_ * (perByte_ - count_)));
  }

 private:
  uint8_t* out_;
  int bits_;
  int perByte_;
  unsigned pending_ = 0;
  int count_ = 0;
};

// Installs a converted buffer in the document.
void installPixels(ImageDocument& doc, std::vector<uint8_t>&& pixels, int32_t rowStride,
                   int32_t colourMode);

// Palette entries first..first+count-1 become the TVC colours of the given indices.
void setPaletteFromTvcIndices(ImageDocument& doc, int first, const uint8_t* tvcIndices, int count);
void setTvcPalette(ImageDocument& doc);

// Memoises the nearest-in-list answer per colour for one candidate set. The answer
// depends only on the colour and the set, so a hit returns the very index the search
// would; a direct-mapped table small enough to stay in the processor's cache.
class NearestColourCache {
 public:
  NearestColourCache(const ColourValue* candidates, int count);
  int nearest(ColourValue colour) {
    uint32_t& entry = entries_[slotOf(colour)];
    if ((entry & 0xFFFFFF) == colour && entry >> 24 != kEmpty) return static_cast<int>(entry >> 24);
    const int index = nearestInList(colour, candidates_.data(), forms_.data(), count_).index;
    entry = static_cast<uint32_t>(index) << 24 | colour;
    return index;
  }

 private:
  static constexpr uint32_t kEmpty = 0xFF;
  static constexpr int kSlotBits = 18;
  static uint32_t slotOf(ColourValue colour) { return (colour * 2654435761u) >> (32 - kSlotBits); }
  std::vector<ColourValue> candidates_;
  std::vector<Cmyk> forms_;
  int count_;
  std::vector<uint32_t> entries_;
};

}  // namespace vz
