#include "converter/commands/palette_dialog_model.h"

#include "converter/colour/conversions.h"
#include "converter/colour/tvc_palette.h"

namespace vz {

PaletteDialogModel::PaletteDialogModel(const ImageDocument& doc)
    : rows_(doc.colourMode == ColourMode::kColours2 ? 2 : 4) {
  for (size_t i = 0; i < 4; ++i) {
    const int index = tvcIndexOf(doc.palette[i]);
    colours_[i] = static_cast<uint8_t>(index < 0 ? 0 : index);
  }
  // A 2-colour picture's unused rows show item 0.
  for (int i = 0; i < 4; ++i)
    remap_[static_cast<size_t>(i)] = static_cast<uint8_t>(i < rows_ ? i : 0);
}

int PaletteDialogModel::chooseNewIndex(int row, int newIndex, bool mergeAllowed) {
  if (row < 0 || row >= rows_ || newIndex < 0 || newIndex >= rows_) return -1;
  const uint8_t oldIndex = remap_[static_cast<size_t>(row)];
  int exchanged = -1;
  if (newIndex != oldIndex && !mergeAllowed) {
    for (int other = 0; other < rows_ && exchanged < 0; ++other)
      if (remap_[static_cast<size_t>(other)] == newIndex) exchanged = other;
    if (exchanged >= 0) remap_[static_cast<size_t>(exchanged)] = oldIndex;
  }
  remap_[static_cast<size_t>(row)] = static_cast<uint8_t>(newIndex);
  return exchanged;
}

void PaletteDialogModel::apply(ImageDocument& doc) const {
  if (doc.colourMode != ColourMode::kColours2 && doc.colourMode != ColourMode::kColours4) return;
  for (size_t i = 0; i < 4; ++i) doc.palette[i] = tvcColour(colours_[i]);
  paletteRemap(doc, remap_);
}

}  // namespace vz
