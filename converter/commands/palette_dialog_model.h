// What the "Paletta beállítása" dialog does, without its window: the colours of
// palette entries 0..3 as TVC indices, the new index chosen for each, and "OK".
#pragma once

#include <array>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

class PaletteDialogModel {
 public:
  // Opening: each colour is the TVC index of the palette entry (0 when the entry is
  // not a TVC colour); every row keeps its own index.
  explicit PaletteDialogModel(const ImageDocument& doc);

  // 2 rows for a 2-colour picture, else 4; the lists offer 0..rows-1.
  int rows() const { return rows_; }

  // The bytes the colour buttons 1015..1018 show and change.
  std::array<uint8_t, 4>& colours() { return colours_; }

  // New index of each row (the selected item of its list).
  const std::array<uint8_t, 4>& remap() const { return remap_; }

  // Row `row` now shows `newIndex`. Without merging, the row that had that index
  // takes the old one instead; its number is returned so that its list can show it,
  // or -1 when no other row changed.
  int chooseNewIndex(int row, int newIndex, bool mergeAllowed);

  // "OK": palette entries 0..3 become the chosen TVC colours, then pixels and
  // palette entries move to their new indices. Only 2- and 4-colour pictures change.
  void apply(ImageDocument& doc) const;

 private:
  int rows_;
  std::array<uint8_t, 4> colours_{};
  std::array<uint8_t, 4> remap_{};
};

}  // namespace vz
