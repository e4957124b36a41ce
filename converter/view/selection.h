// The crop selection: a rectangle of the crop size that follows the mouse, and the cut
// of the document to it. The window draws the outlines this asks for with an XOR pen,
// so drawing the same outline twice restores the screen.
#pragma once

#include <cstdint>
#include <vector>

#include "converter/model/app_state.h"

namespace vz {

// Outlines to draw, in order (each draw toggles the outline on the screen).
using OutlineDraws = std::vector<ClientRect>;

// The screen-crop command: enters selection mode with the crop size of the effect
// settings (doubled when the view is zoomed 2x vertically), or cancels it when it is on.
OutlineDraws screenCropCommand(AppState& state);

// Mouse move while selecting: the rectangle's bottom-right corner follows the mouse.
OutlineDraws followSelection(SelectionState& selection, int32_t mouseX, int32_t mouseY);

// Leaves selection mode, erasing the outline if it is shown.
OutlineDraws cancelSelection(SelectionState& selection);

// A rectangle of document pixels: columns x0 .. x1-1, rows y0 .. y1-1 (may be empty).
struct DocumentRect {
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 0;
  int32_t y1 = 0;
};

// Maps a client rectangle to the document pixels under it, clipped to the picture.
DocumentRect selectionToDocument(const ViewState& view, const ImageDocument& doc,
                                 const ClientRect& rect);

// Cuts the document to the selection rectangle. Returns false, leaving the document
// as it was, when the rectangle does not overlap the picture.
bool cropToSelection(AppState& state);

}  // namespace vz
