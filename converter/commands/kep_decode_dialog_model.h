// What the KEP decode dialog does, without its window: the width, height and colour mode
// it opens with, and "OK", which reads the loaded TVC picture again with the values given.
#pragma once

#include <cstdint>

#include "converter/model/app_state.h"

namespace vz {

class KepDecodeDialogModel {
 public:
  // Opening: the picture's own width, height and colour-mode list entry.
  explicit KepDecodeDialogModel(const AppState& state);
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  int modeIndex() const { return modeIndex_; }

  // "OK" with the fields as the dialog read them (a field that held no number is not
  // read). True when the picture was decoded anew, now shown at zoom 1 x 1; false, with
  // nothing changed, when the values cannot decode it (the dialog then says so and stays).
  bool accept(AppState& state, bool widthRead, uint32_t width, bool heightRead, uint32_t height,
              int modeIndex) const;

 private:
  uint32_t width_;
  uint32_t height_;
  int modeIndex_;
};

}  // namespace vz
