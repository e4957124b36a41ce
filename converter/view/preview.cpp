#include "converter/view/preview.h"

#include <algorithm>
#include <cstring>

#include "converter/view/render.h"

namespace vz {

bool buildPreview(const ImageDocument& doc, const ViewState& view, ImageDocument& preview,
                  std::vector<ColourValue>& colourTable) {
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode)) return false;
  const int zoomX = std::max<int>(1, view.zoomX);
  const int zoomY = std::max<int>(1, view.zoomY);
  ImageDocument zoomed;
  if (allocatePicture(zoomed, int64_t{doc.width} * zoomX, int64_t{doc.height} * zoomY,
                      doc.colourMode) <= 0)
    return false;
  const int bits = bitsPerPixel(doc.colourMode);
  for (int32_t y = 0; y < doc.height; ++y) {
    const uint8_t* row = doc.row(y);
    uint8_t* out = zoomed.row(y * zoomY);
    for (int32_t x = 0; x < doc.width; ++x)
      for (int repeat = 0; repeat < zoomX; ++repeat) {
        const int32_t column = x * zoomX + repeat;
        if (bits == 24)
          std::memcpy(out + 3 * static_cast<size_t>(column), row + 3 * static_cast<size_t>(x), 3);
        else
          setPackedPixel(out, column, bits, getPackedPixel(row, x, bits));
      }
    for (int repeat = 1; repeat < zoomY; ++repeat)
      std::memcpy(zoomed.row(y * zoomY + repeat), out, static_cast<size_t>(zoomed.rowStride));
  }
  zoomed.palette = doc.palette;
  colourTable = describeRender(doc, view.blackAndWhiteView).colourTable;
  preview = std::move(zoomed);
  return true;
}

}  // namespace vz
