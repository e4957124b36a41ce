// What a command needs from the program that runs it: the window's dialogs, clipboard
// and message boxes, or vizorka-cli's standard streams. The defaults are those of a
// program without a window: no dialog is shown, so nothing is chosen.
#pragma once

#include <string>

#include "converter/commands/commands.h"
#include "converter/model/app_state.h"
#include "converter/model/prompts.h"

namespace vz {

class CommandHost {
 public:
  virtual ~CommandHost() = default;

  virtual UserPrompts& prompts() = 0;
  // One line of a command's report (vizorka-cli's --info).
  virtual void writeLine(const std::string& /*line*/) {}

  // Each returns true when the user confirmed; cancelling changes nothing.
  // Open's dialog; on OK `path` names the file to open.
  virtual bool chooseOpenFile(const AppState& /*state*/, std::string& /*path*/) { return false; }
  // Save as's dialog; on OK `path` names the file to write.
  virtual bool chooseSaveFile(const AppState& /*state*/, std::string& /*path*/) { return false; }
  // The save-options dialog; on OK state.saveOptions holds the choice.
  virtual bool editSaveOptions(AppState& /*state*/) { return false; }
  // The effect-settings dialog; on OK state.effects holds the choice.
  virtual bool editEffectSettings(AppState& /*state*/) { return false; }
  // The palette dialog; on OK the document has been remapped.
  virtual bool editPalette(AppState& /*state*/) { return false; }
  // The picture-properties dialog (with its re-decoding).
  virtual bool showPictureProperties(AppState& /*state*/) { return false; }
  // The tone dialog: while it is open the document shows its preview; on OK it holds the
  // toned picture, otherwise the picture as it was.
  virtual bool editTone(AppState& /*state*/) { return false; }
  // The resize dialog; on OK `target` holds the size and mode chosen.
  virtual bool chooseResizeTarget(const AppState& /*state*/, ResizeTarget& /*target*/) {
    return false;
  }
  // The save dialog for the preview PNG; on OK `path` names the file to write.
  virtual bool choosePreviewFile(const AppState& /*state*/, std::string& /*path*/) { return false; }

  // Whether Paste would find a bitmap (asked before a changed picture is let go).
  virtual bool clipboardHoldsPicture() { return false; }
  // Paste as new picture: false, having changed nothing, when the clipboard holds no
  // bitmap; otherwise the picture has been replaced and `update` says how to show it.
  virtual bool pasteFromClipboard(AppState& /*state*/, ViewUpdate& /*update*/) { return false; }
  virtual void copyToClipboard(const AppState& /*state*/) {}
};

}  // namespace vz
