#include "converter/commands/picture_properties.h"

#include "converter/colour/tvc_palette.h"

namespace vz {

std::string pictureKindText(const ImageDocument& doc) {
  const std::string modeNumber = std::to_string(paletteEntries(doc.colourMode));
  if (doc.tvcPicture)
    return doc.interlaced ? "TVC - 4 szín (Interlaced)" : "TVC - " + modeNumber + " szín";
  return doc.colourMode == ColourMode::kTrueColour ? "True color" : "RGB - " + modeNumber + " szin";
}

bool canRedecode(const ImageDocument& doc) {
  return doc.tvcPicture && !doc.interlaced;
}

std::vector<PaletteListEntry> paletteListEntries(const ImageDocument& doc) {
  std::vector<PaletteListEntry> entries;
  if (!isValidColourMode(doc.colourMode) || doc.colourMode == ColourMode::kTrueColour)
    return entries;
  const ColourHistogram counts = fillColourHistogram(doc);
  for (int i = 0; i < paletteEntries(doc.colourMode); ++i) {
    const auto slot = static_cast<size_t>(i);
    entries.push_back({i, doc.palette[slot], counts[slot]});
  }
  return entries;
}

}  // namespace vz
