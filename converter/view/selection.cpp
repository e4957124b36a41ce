#include "converter/view/selection.h"

#include <algorithm>

#include "converter/view/crop.h"
#include "converter/view/layout.h"

namespace vz {

OutlineDraws screenCropCommand(AppState& state) {
  SelectionState& selection = state.selection;
  if (selection.selectionState != kSelectionIdle) return cancelSelection(selection);
  selection.selectionShown = false;
  selection.selectionState = kSelectionFollowsMouse;
  // The rectangle is measured on the screen: the crop size at the screen scale.
  const ViewState& view = state.view;
  const int32_t scale = view.screenScale;
  selection.selectionWidth = state.effects.cropWidth * scale;
  selection.selectionHeight = state.effects.cropHeight * scale;
  if (view.zoomY == 2) {
    selection.selectionWidth *= 2;
    selection.selectionHeight *= 2;
  }
  // A fitted view shows the picture reduced: the rectangle is reduced alike, so that it
  // covers the document pixels it covers at the zoom.
  const ImageDocument& doc = state.document;
  const auto reduced = [](int32_t length, int64_t shown, int64_t atZoom) {
    return static_cast<int32_t>(std::max<int64_t>(1, (length * shown + atZoom / 2) / atZoom));
  };
  if (view.fittedWidth > 0 && view.fittedHeight > 0) {
    selection.selectionWidth =
        reduced(selection.selectionWidth, view.fittedWidth, int64_t{screenZoomX(view)} * doc.width);
    selection.selectionHeight = reduced(selection.selectionHeight, view.fittedHeight,
                                        int64_t{screenZoomY(view)} * doc.height);
  }
  return {};
}

OutlineDraws followSelection(SelectionState& selection, int32_t mouseX, int32_t mouseY) {
  OutlineDraws draws;
  if (selection.selectionState != kSelectionFollowsMouse) return draws;
  if (selection.selectionShown) draws.push_back(selection.selectionRect);
  selection.selectionShown = true;
  selection.selectionRect = {mouseX - selection.selectionWidth, mouseY - selection.selectionHeight,
                             mouseX, mouseY};
  draws.push_back(selection.selectionRect);
  return draws;
}

OutlineDraws cancelSelection(SelectionState& selection) {
  OutlineDraws draws;
  if (selection.selectionShown) draws.push_back(selection.selectionRect);
  selection.selectionState = kSelectionIdle;
  selection.selectionShown = false;
  return draws;
}

DocumentRect selectionToDocument(const ViewState& view, const ImageDocument& doc,
                                 const ClientRect& rect) {
  // A side of the rectangle beyond the picture's edge cuts at that edge.
  const auto cut = [&](ScrollBar direction, int32_t from, int32_t to, int32_t size, int32_t& first,
                       int32_t& end) {
    const AxisMapping axis = screenAxis(view, doc, direction);
    // 64 bits: the zoomed extent of a very wide picture does not fit 32.
    const int64_t pictureEnd = axis.origin + int64_t{size} * axis.screenSpan / axis.documentSpan;
    first = from > axis.origin ? static_cast<int32_t>(documentPositionAt(axis, from)) : 0;
    end = to < pictureEnd ? static_cast<int32_t>(documentPositionAt(axis, to)) : size;
  };
  DocumentRect rectangle;
  cut(ScrollBar::kHorizontal, rect.left, rect.right, doc.width, rectangle.x0, rectangle.x1);
  cut(ScrollBar::kVertical, rect.top, rect.bottom, doc.height, rectangle.y0, rectangle.y1);
  return rectangle;
}

bool cropToSelection(AppState& state) {
  const DocumentRect cut =
      selectionToDocument(state.view, state.document, state.selection.selectionRect);
  return cropDocument(state.document, cut.x0, cut.y0, cut.x1, cut.y1);
}

}  // namespace vz
