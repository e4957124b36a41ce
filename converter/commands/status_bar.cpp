#include "converter/commands/status_bar.h"

#include <algorithm>

#include "converter/commands/command_table.h"
#include "converter/commands/picture_properties.h"
#include "converter/view/layout.h"
#include "converter/view/selection.h"

namespace vz {

namespace {

std::string timesText(int64_t a, int64_t b) {
  return std::to_string(a) + " × " + std::to_string(b);
}

std::string cropText(const AppState& state) {
  const SelectionState& selection = state.selection;
  if (!selection.selectionShown)
    return "Kivágás: " + timesText(state.effects.cropWidth, state.effects.cropHeight);
  const DocumentRect cut = selectionToDocument(state.view, state.document, selection.selectionRect);
  return "Kivágás: " + std::to_string(cut.x0) + ", " + std::to_string(cut.y0) + " – " +
         timesText(std::max(cut.x1 - cut.x0, 0), std::max(cut.y1 - cut.y0, 0));
}

// The reduction of a fitted picture is measured against its size at its zoom.
std::string zoomText(const AppState& state) {
  const ViewState& view = state.view;
  if (view.fittedWidth <= 0) return "Nagyítás: " + timesText(state.view.zoomX, state.view.zoomY);
  const int64_t atZoom = int64_t{screenZoomX(view)} * state.document.width;
  const int64_t percent = std::max<int64_t>(1, int64_t{view.fittedWidth} * 100 / atZoom);
  return "Ablakhoz igazítva: " + std::to_string(percent) + "%";
}

}  // namespace

std::vector<std::string> statusBarTexts(const AppState& state) {
  const ImageDocument& doc = state.document;
  std::vector<std::string> parts;
  if (doc.holdsPicture()) {
    parts.push_back(timesText(doc.width, doc.height) + " képpont");
    parts.push_back(pictureKindText(doc));
  } else {
    parts.push_back("Nincs kép");
    parts.push_back("");
  }
  parts.push_back(zoomText(state));
  if (state.selection.selectionState == kSelectionFollowsMouse)
    parts.push_back(cropText(state));
  else if (doc.holdsPicture() && !commandEnabled(CommandId::kSaveAs, state))
    parts.push_back(texts::kNotTvcPicture);
  else
    parts.push_back("");
  return parts;
}

std::vector<size_t> statusBarShrinkOrder(const AppState& state) {
  if (state.selection.selectionState == kSelectionFollowsMouse) return {1, 2, 0, 3};
  return {3, 1, 2, 0};
}

std::vector<int> statusBarPartWidths(const std::vector<int>& preferred,
                                     const std::vector<int>& needed,
                                     const std::vector<size_t>& shrinkOrder, int available) {
  std::vector<int> widths = preferred;
  for (size_t i = 0; i < widths.size() && i < needed.size(); ++i)
    widths[i] = std::max(widths[i], needed[i]);
  int excess = -available;
  for (int width : widths) excess += width;
  if (excess <= 0) {
    if (!widths.empty()) widths.back() -= excess;
    return widths;
  }
  // First the room beside the texts, then the texts themselves.
  for (bool belowText : {false, true})
    for (size_t part : shrinkOrder) {
      if (part >= widths.size()) continue;
      const int floor = belowText || part >= needed.size() ? 0 : needed[part];
      const int given = std::clamp(widths[part] - floor, 0, excess);
      widths[part] -= given;
      excess -= given;
    }
  return widths;
}

}  // namespace vz
