#include "converter/app/win32/menu_commands.h"

#include "converter/resources/resource.h"

namespace vz {

const std::vector<std::pair<int, CommandId>>& menuCommands() {
  using Id = CommandId;
  static const std::vector<std::pair<int, CommandId>> kMenu = {
      {ID_FILE_OPEN, Id::kOpen},
      {ID_FILE_SAVE, Id::kSave},
      {ID_FILE_SAVE_AS, Id::kSaveAs},
      {ID_FILE_SAVE_PREVIEW, Id::kSavePreview},
      {ID_FILE_EXIT, Id::kExit},
      {ID_EDIT_UNDO, Id::kUndo},
      {ID_EDIT_REDO, Id::kRedo},
      {ID_EDIT_COPY, Id::kCopy},
      {ID_PASTE, Id::kPaste},
      {ID_SCREEN_CROP, Id::kScreenCrop},
      {ID_HALVE_VERTICALLY, Id::kHalveVertically},
      {ID_HALVE_HORIZONTALLY, Id::kHalveHorizontally},
      {ID_RESIZE, Id::kResize},
      {ID_DITHER_2, Id::kDither2},
      {ID_DITHER_4, Id::kDither4},
      {ID_DITHER_16, Id::kDither16},
      {ID_NEAREST_2, Id::kNearest2},
      {ID_NEAREST_4, Id::kNearest4},
      {ID_NEAREST_16, Id::kNearest16},
      {ID_GREY_4, Id::kGrey4},
      {ID_GREY_16, Id::kGrey16},
      {ID_GREY_256, Id::kGrey256},
      {ID_PALETTE, Id::kPalette},
      {ID_TONE, Id::kTone},
      {ID_SETTINGS, Id::kSettings},
      {ID_ZOOM_VERTICALLY, Id::kZoomVertically},
      {ID_ZOOM_HORIZONTALLY, Id::kZoomHorizontally},
      {ID_UNZOOM_VERTICALLY, Id::kUnzoomVertically},
      {ID_UNZOOM_HORIZONTALLY, Id::kUnzoomHorizontally},
      {ID_FOURFOLD_SIZE, Id::kFourfoldSize},
      {ID_NORMAL_SIZE, Id::kNormalSize},
      {ID_FIT_TO_WINDOW, Id::kFitToWindow},
      {ID_COLOUR_SWITCH, Id::kColourSwitch},
      {ID_VIEW_PROPERTIES, Id::kProperties},
  };
  return kMenu;
}

bool commandOfMenuItem(int menuId, CommandId& id) {
  for (const auto& [item, command] : menuCommands())
    if (item == menuId) {
      id = command;
      return true;
    }
  return false;
}

int menuItemOf(CommandId id) {
  for (const auto& [item, command] : menuCommands())
    if (command == id) return item;
  return 0;
}

}  // namespace vz
