#include "converter/commands/status_bar.h"

#include <algorithm>

#include "converter/commands/command_table.h"
#include "converter/commands/picture_properties.h"
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
  parts.push_back("Nagyítás: " + timesText(state.view.zoomX, state.view.zoomY));
  if (state.selection.selectionState == kSelectionFollowsMouse)
    parts.push_back(cropText(state));
  else if (doc.holdsPicture() && !commandEnabled(CommandId::kSaveAs, state))
    parts.push_back(texts::kNotTvcPicture);
  else
    parts.push_back("");
  return parts;
}

}  // namespace vz
