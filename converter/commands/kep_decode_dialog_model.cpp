#include "converter/commands/kep_decode_dialog_model.h"

#include "converter/formats/tvc/kep_redecode.h"

namespace vz {

KepDecodeDialogModel::KepDecodeDialogModel(const AppState& state)
    : width_(static_cast<uint32_t>(state.document.width)),
      height_(static_cast<uint32_t>(state.document.height)),
      modeIndex_(decodeModeIndexOf(state.document.colourMode)) {}

bool KepDecodeDialogModel::accept(AppState& state, bool widthRead, uint32_t width, bool heightRead,
                                  uint32_t height, int modeIndex) const {
  if (!widthRead || !heightRead) return false;
  KepDecodeChoice choice;
  choice.width = width;
  choice.height = height;
  choice.modeIndex = modeIndex;
  if (!redecodeKepPicture(state.document, state.kepDecodeColours, choice)) return false;
  state.view.zoomX = 1;
  state.view.zoomY = 1;
  return true;
}

}  // namespace vz
