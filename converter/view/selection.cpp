#include "converter/view/selection.h"

#include "converter/view/crop.h"

namespace vz {

OutlineDraws screenCropCommand(AppState& state) {
  SelectionState& selection = state.selection;
  if (selection.selectionState != kSelectionIdle) return cancelSelection(selection);
  selection.selectionShown = false;
  selection.selectionState = kSelectionFollowsMouse;
  selection.selectionWidth = state.effects.cropWidth;
  selection.selectionHeight = state.effects.cropHeight;
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
  const int32_t originX = view.imageLeft != 0 ? view.imageLeft : -view.zoomX * view.scrollX;
  const int32_t originY = view.imageTop != 0 ? view.imageTop : -view.zoomY * view.scrollY;
  DocumentRect cut;
  cut.x0 = rect.left > originX ? (rect.left - originX) / view.zoomX : 0;
  cut.x1 = rect.right < originX + view.zoomX * doc.width ? (rect.right - originX) / view.zoomX
                                                         : doc.width;
  cut.y0 = rect.top > originY ? (rect.top - originY) / view.zoomY : 0;
  cut.y1 = rect.bottom < originY + view.zoomY * doc.height ? (rect.bottom - originY) / view.zoomY
                                                           : doc.height;
  return cut;
}

bool cropToSelection(AppState& state) {
  const DocumentRect cut =
      selectionToDocument(state.view, state.document, state.selection.selectionRect);
  return cropDocument(state.document, cut.x0, cut.y0, cut.x1, cut.y1);
}

}  // namespace vz
