#include "converter/view/render.h"

#include <algorithm>

#include "converter/colour/resize.h"

namespace vz {

RenderDescription describeRender(const ImageDocument& doc, bool blackAndWhiteView) {
  RenderDescription description;
  description.bitsPerPixel = bitsPerPixel(doc.colourMode);
  if (doc.colourMode == ColourMode::kTrueColour || description.bitsPerPixel == 0)
    return description;
  const int entries = doc.colourMode == ColourMode::kColours4 ? 16 : paletteEntries(doc.colourMode);
  description.colourTable.reserve(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const ColourValue colour = doc.palette[static_cast<size_t>(i)];
    if (blackAndWhiteView) {
      const auto grey = static_cast<uint8_t>(greyLevel(colour));
      description.colourTable.push_back(makeColour(grey, grey, grey));
    } else {
      description.colourTable.push_back(colour);
    }
  }
  return description;
}

bool renderFittedPicture(const ImageDocument& doc, const ViewState& view, ImageDocument& shown) {
  if (view.fittedWidth <= 0 || view.fittedHeight <= 0) return false;
  const std::vector<ColourValue> table = describeRender(doc, view.blackAndWhiteView).colourTable;
  std::array<ColourValue, 256> colours = doc.palette;
  std::copy(table.begin(), table.end(), colours.begin());
  return resampleWhole(doc, colours, view.fittedWidth, view.fittedHeight, shown);
}

}  // namespace vz
