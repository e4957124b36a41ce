// The picture as the window shows it, for saving: zoomed, in the render's colours.
#pragma once

#include <vector>

#include "converter/model/app_state.h"
#include "converter/model/document.h"

namespace vz {

// Every pixel of the document repeated zoomX x zoomY times, in the document's colour
// mode, with the colour table the window shows it through (describeRender: grey levels
// in the black-and-white view). False when the document holds no picture or the
// preview would not fit in memory.
bool buildPreview(const ImageDocument& doc, const ViewState& view, ImageDocument& preview,
                  std::vector<ColourValue>& colourTable);

}  // namespace vz
