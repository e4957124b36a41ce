#include "converter/view/selection.h"

#include "converter/view/crop.h"
#include "converter/view/layout.h"

namespace vz {

OutlineDraws screenCropCommand(AppState& state) {
  SelectionState& selection = state.selection;
  if (selection.selectionState != kSelectionIdle) return cancelSelection(selection);
  selection.selectionShown = false;
  selection.selectionState = kSelectionFollowsMouse;
  // The rectangle is measured on the screen: the crop size at the screen scale.
  const int32_t scale = state.view.screenScale;
  selection.selectionWidth = state.effects.cropWidth * scale;
  selection.selectionHeight = state.effects.cropHeight * scale;
  if (state.view.zoomY == 2) {
    selection.selectionWidth *= 2;
    selection.selectionHeight *= 2;
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
  // 64 bits: the zoomed extent of a very wide picture does not fit 32.
  const int64_t zoomX = screenZoomX(view);
  const int64_t zoomY = screenZoomY(view);
  const int64_t originX = view.imageLeft != 0 ? view.imageLeft : -zoomX * view.scrollX;
  const int64_t originY = view.imageTop != 0 ? view.imageTop : -zoomY * view.scrollY;
  const auto column = [&](int64_t x) { return static_cast<int32_t>((x - originX) / zoomX); };
  const auto row = [&](int64_t y) { return static_cast<int32_t>((y - originY) / zoomY); };
  DocumentRect cut;
  cut.x0 = rect.left > originX ? column(rect.left) : 0;
  cut.x1 = rect.right < originX + zoomX * doc.width ? column(rect.right) : doc.width;
  cut.y0 = rect.top > originY ? row(rect.top) : 0;
  cut.y1 = rect.bottom < originY + zoomY * doc.height ? row(rect.bottom) : doc.height;
  return cut;
}

bool cropToSelection(AppState& state) {
  const DocumentRect cut =
      selectionToDocument(state.view, state.document, state.selection.selectionRect);
  return cropDocument(state.document, cut.x0, cut.y0, cut.x1, cut.y1);
}

}  // namespace vz
