#include "converter/view/crop.h"

#include <algorithm>
#include <cstring>

namespace vz {

bool cropDocument(ImageDocument& doc, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (!doc.holdsPicture()) return false;
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, doc.width);
  y1 = std::min(y1, doc.height);
  if (x1 <= x0 || y1 <= y0) return false;

  ImageDocument cut;
  const int32_t size = allocatePicture(cut, x1 - x0, y1 - y0, doc.colourMode);
  if (size <= 0) return false;
  const int bits = bitsPerPixel(doc.colourMode);
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* source = doc.row(y);
    uint8_t* target = cut.row(y - y0);
    if (bits >= 8) {
      const int bytesPerPixel = bits / 8;
      std::memcpy(target, source + static_cast<size_t>(x0) * bytesPerPixel,
                  static_cast<size_t>(x1 - x0) * bytesPerPixel);
    } else {
      for (int32_t x = x0; x < x1; ++x)
        setPackedPixel(target, x - x0, bits, getPackedPixel(source, x, bits));
    }
  }
  doc.pixels = std::move(cut.pixels);
  doc.width = cut.width;
  doc.height = cut.height;
  doc.rowStride = cut.rowStride;
  return true;
}

}  // namespace vz
