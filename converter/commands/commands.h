// Every menu command as a function over the program state. The window and vizorka-cli
// both run these; the window then carries out the view update each one asks for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/status.h"
#include "converter/colour/resize.h"
#include "converter/model/app_state.h"
#include "converter/model/prompts.h"
#include "converter/view/selection.h"

namespace vz {

// How a command ended, for vizorka-cli's exit status (the window shows its messages).
enum class CommandOutcome { kDone, kNoPicture, kWriteFailed };

// What the platform must do after a command, in this order.
struct ViewUpdate {
  bool titleChanged = false;  // show windowTitle()
  // A new picture replaced the old one (Open, Paste): its history starts afresh and it
  // is shown from its top-left corner.
  bool newPicture = false;
  bool newScreenBitmap = false;  // the screen bitmap is made anew at the picture's size
  bool render = false;
  bool layout = false;
  bool repaint = false;
  OutlineDraws outlines;  // crop outlines to toggle
  bool closeWindow = false;
  CommandOutcome outcome = CommandOutcome::kDone;
};

// "Vizorka - [" fileTitle "]".
std::string windowTitleForFile(const std::string& fileTitle);

// The upper-cased three-letter extension of a name whose fourth-last character is
// ".", or false when the name has none.
bool extensionOf(const std::string& fileTitle, std::string& upperExtension);

// The part of a path after the last "\" or "/" (the whole path when there is neither).
std::string fileNameOf(const std::string& path);

// Open, from the point where filePath and fileTitle hold the chosen file; they held
// previousPath and previousTitle before, and get them back when the user declines to
// read an unknown extension (the picture and view then stay as they were). A file that
// cannot be opened or read is reported.
ViewUpdate openCommand(AppState& state, UserPrompts& prompts, const std::string& previousPath,
                       const std::string& previousTitle);

// Paste as new picture, once the clipboard holds a bitmap: the title becomes
// "nevtelen", the old picture goes, and readPicture fills the document from the
// clipboard (returning the picture size). A failed read is reported and leaves the
// document empty. filePath stays as it was.
ViewUpdate pasteCommand(AppState& state, UserPrompts& prompts,
                        const std::function<int32_t(ImageDocument&)>& readPicture);

// Releases the picture before Open or Paste brings a new one.
void releaseForNewPicture(AppState& state);

// Dithers with the effect settings; sets marked auto that the dither uses are chosen
// for the picture first (after the pre-distortion).
ViewUpdate ditherCommand(AppState& state, int kind);
// Nearest colours; for 2 colours an auto 2-colour set is chosen for the picture first.
ViewUpdate nearestCommand(AppState& state, int target);

// "Legjobb színek" beside a set (a ColourSetId): that set of `settings` becomes the best
// for dithering the picture with `settings` (algorithm, pre-distortion, interlace), shown
// as the view shows it. Beside the 4-colour set with interlace on it chooses the pair;
// the even-line set is chosen for interlaced dithering beside the 4-colour set held.
// kNotApplicable (settings unchanged) when there is no picture to choose for.
Status chooseBestColours(const AppState& state, EffectSettings& settings, int setId);
ViewUpdate greyCommand(AppState& state, int kind);
ViewUpdate grey256Command(AppState& state);
ViewUpdate halveCommand(AppState& state, int direction);

// Resizes the picture to the target: a new true-colour picture, shown at zoom 1 x 1 in
// colour. A result too large for memory is reported and changes nothing.
ViewUpdate resizeCommand(AppState& state, const ResizeTarget& target, UserPrompts& prompts);

}  // namespace vz
