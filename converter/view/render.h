// How the document is handed to the screen (and to exported files): bit depth and
// colour table of the device-independent bitmap that shows it.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/model/app_state.h"
#include "converter/model/document.h"

namespace vz {

struct RenderDescription {
  int bitsPerPixel = 0;                  // 24, 1, 4 or 8
  std::vector<ColourValue> colourTable;  // red in the low byte, as the palette
};

// Colour table: none for true colour, 16 entries for colour mode 4 (the picture uses
// 0..3), otherwise colourMode entries; in the black-and-white view each entry is the
// grey level of its colour.
RenderDescription describeRender(const ImageDocument& doc, bool blackAndWhiteView);

// The picture as the fitted view shows it, view.fittedWidth x view.fittedHeight: each
// screen pixel the area-weighted mean, in linear light, of the document pixels under
// it, in the colours describeRender gives (grey levels in the black-and-white view). A
// true-colour picture, for display only; false when the view is not fitted or memory
// cannot be had.
bool renderFittedPicture(const ImageDocument& doc, const ViewState& view, ImageDocument& shown);

}  // namespace vz
