// What the window's status bar says about the picture.
#pragma once

#include <string>
#include <vector>

#include "converter/model/app_state.h"

namespace vz {

// The status bar's parts, left to right: the picture's size, its kind (as the
// picture-properties dialog words it), the zoom (or how far the fitted view reduces the
// picture), and then the crop rectangle while crop mode is on or, while Save as is
// greyed, why it is.
std::vector<std::string> statusBarTexts(const AppState& state);

// The parts by how readily they give way when the bar is too narrow for all of them,
// the least important first: the reason Save as is greyed, the kind, the zoom, the size;
// in crop mode the crop rectangle goes last.
std::vector<size_t> statusBarShrinkOrder(const AppState& state);

// The parts' widths in a bar `available` pixels wide. Part i needs needed[i] for its
// whole text and prefers preferred[i], or that when it is more. While every preferred
// width fits, each part gets it and the last also the rest; otherwise the parts give
// way in `shrinkOrder`: first each down to what its text needs, then each down to
// nothing before the next gives.
std::vector<int> statusBarPartWidths(const std::vector<int>& preferred,
                                     const std::vector<int>& needed,
                                     const std::vector<size_t>& shrinkOrder, int available);

}  // namespace vz
