#include "converter/view/render.h"

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

}  // namespace vz
