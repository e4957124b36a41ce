// Every menu command as a function over the program state. The window and vizorka-cli
// both run these; the window then carries out the view update each one asks for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "converter/model/app_state.h"
#include "converter/model/prompts.h"

namespace vz {

// What the platform must do after a command, in this order.
struct ViewUpdate {
  bool titleChanged = false;     // show windowTitle()
  bool newScreenBitmap = false;  // the screen bitmap is made anew at the picture's size
  bool render = false;
  bool layout = false;
  bool repaint = false;
};

// Command identifiers of menu 102.
enum CommandId : int {
  kCmdOpen = 40001,
  kCmdExit = 40002,
  kCmdCopy = 40003,
  kCmdSaveAs = 40004,
  kCmdPictureProperties = 40005,
  kCmdDither2 = 40007,
  kCmdDither4 = 40008,
  kCmdDither16 = 40009,
  kCmdGrey4 = 40010,
  kCmdGrey16 = 40011,
  kCmdGrey256 = 40012,
  kCmdZoomVertically = 40014,
  kCmdZoomHorizontally = 40015,
  kCmdUnzoomVertically = 40016,
  kCmdUnzoomHorizontally = 40017,
  kCmdNormalSize = 40018,
  kCmdScreenCrop = 40019,
  kCmdFourfoldSize = 40021,
  kCmdNearest2 = 40022,
  kCmdNearest4 = 40023,
  kCmdNearest16 = 40024,
  kCmdSettings = 40025,
  kCmdPaste = 40026,
  kCmdHalveVertically = 40027,
  kCmdHalveHorizontally = 40028,
  kCmdPalette = 40029,
  kCmdColourSwitch = 40030,
};

// "Vizorka - [" fileTitle "]".
std::string windowTitleForFile(const std::string& fileTitle);

// The upper-cased three-letter extension of a name whose fourth-last character is
// ".", or false when the name has none.
bool extensionOf(const std::string& fileTitle, std::string& upperExtension);

// The part of a path after the last "\" or "/" (the whole path when there is neither).
std::string fileNameOf(const std::string& path);

// Open, from the point where filePath and fileTitle hold the chosen file.
ViewUpdate openCommand(AppState& state, UserPrompts& prompts);

// Paste as new picture, once the clipboard holds a bitmap: the title becomes
// "nevtelen", the old picture goes, and readPicture fills the document from the
// clipboard (returning the picture size). A failed read is reported and leaves the
// document empty. filePath stays as it was.
ViewUpdate pasteCommand(AppState& state, UserPrompts& prompts,
                        const std::function<int32_t(ImageDocument&)>& readPicture);

// Releases the picture before Open or Paste brings a new one.
void releaseForNewPicture(AppState& state);

// The commands that only transform the document or the view. Unknown identifiers do
// nothing. The dialogs, Open, Save as, clipboard and crop are not among these.
ViewUpdate runDocumentCommand(AppState& state, int commandId);

ViewUpdate ditherCommand(AppState& state, int kind);
ViewUpdate nearestCommand(AppState& state, int target);
ViewUpdate greyCommand(AppState& state, int kind);
ViewUpdate grey256Command(AppState& state);
ViewUpdate halveCommand(AppState& state, int direction);

}  // namespace vz
