#include "converter/model/orientation.h"

#include <cstring>
#include <utility>

namespace vz {

Status orientPicture(ImageDocument& doc, int32_t orientation) {
  if (orientation < 2 || orientation > 8) return StatusCode::kOk;
  const int bits = bitsPerPixel(doc.colourMode);
  if (bits != 8 && bits != 24)
    return Status(StatusCode::kNotApplicable, "not an 8- or 24-bit picture");
  const size_t bytes = static_cast<size_t>(bits / 8);
  const int32_t width = doc.width;
  const int32_t height = doc.height;
  const bool swapped = orientation >= 5;
  const int32_t newWidth = swapped ? height : width;
  const int32_t newHeight = swapped ? width : height;
  const int64_t stride = rowStrideFor(doc.colourMode, newWidth);
  std::vector<uint8_t> turned;
  if (stride < 0 || !allocateZeroed(turned, static_cast<size_t>(stride) * newHeight))
    return Status(StatusCode::kOutOfMemory, "out of memory");
  for (int32_t y = 0; y < newHeight; ++y) {
    uint8_t* out = turned.data() + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < newWidth; ++x, out += bytes) {
      int32_t fromX = x;
      int32_t fromY = y;
      switch (orientation) {
        case 2:
          fromX = width - 1 - x;
          break;
        case 3:
          fromX = width - 1 - x;
          fromY = height - 1 - y;
          break;
        case 4:
          fromY = height - 1 - y;
          break;
        case 5:
          fromX = y;
          fromY = x;
          break;
        case 6:
          fromX = y;
          fromY = height - 1 - x;
          break;
        case 7:
          fromX = width - 1 - y;
          fromY = height - 1 - x;
          break;
        default:  // 8
          fromX = width - 1 - y;
          fromY = x;
      }
      std::memcpy(out, doc.row(fromY) + bytes * static_cast<size_t>(fromX), bytes);
    }
  }
  doc.pixels = std::move(turned);
  doc.width = newWidth;
  doc.height = newHeight;
  doc.rowStride = static_cast<int32_t>(stride);
  return StatusCode::kOk;
}

}  // namespace vz
