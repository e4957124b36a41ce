#include "converter/colour/conversion_support.h"

#include <new>

namespace vz {

bool hasConvertiblePicture(const ImageDocument& doc) {
  if (!doc.holdsPicture() || doc.width <= 0 || doc.height <= 0) return false;
  const int64_t stride = rowStrideFor(doc.colourMode, doc.width);
  if (stride <= 0 || doc.rowStride < stride) return false;
  return doc.pixels.size() / static_cast<size_t>(doc.rowStride) >= static_cast<size_t>(doc.height);
}

bool allocateZeroed(std::vector<uint8_t>& buffer, size_t size) {
  try {
    std::vector<uint8_t> fresh(size, 0);
    buffer.swap(fresh);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool readsAsColours(int32_t colourMode) {
  return colourMode == kTrueColour || bitsPerPixel(colourMode) == 4 ||
         bitsPerPixel(colourMode) == 8;
}

void installPixels(ImageDocument& doc, std::vector<uint8_t>&& pixels, int32_t rowStride,
                   int32_t colourMode) {
  doc.pixels = std::move(pixels);
  doc.rowStride = rowStride;
  doc.colourMode = colourMode;
}

void setPaletteFromTvcIndices(ImageDocument& doc, int first, const uint8_t* tvcIndices, int count) {
  for (int i = 0; i < count; ++i)
    doc.palette[static_cast<size_t>(first + i)] = tvcColour(tvcIndices[i]);
}

void setTvcPalette(ImageDocument& doc) {
  for (int i = 0; i < kTvcColourCount; ++i) doc.palette[static_cast<size_t>(i)] = tvcColour(i);
}

NearestColourCache::NearestColourCache(const ColourValue* candidates, int count)
    : candidates_(candidates, candidates + count),
      count_(count),
      entries_(size_t{1} << kSlotBits, 0xFFFFFFFFu) {
  for (ColourValue candidate : candidates_) forms_.push_back(cmykOf(candidate));
}

}  // namespace vz
