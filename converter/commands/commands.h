// Every menu command as a function over the program state. The window and vizorka-cli
// both run these; the window then carries out the view update each one asks for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "base/status.h"
#include "converter/colour/resize.h"
#include "converter/colour/tone.h"
#include "converter/model/app_state.h"
#include "converter/model/prompts.h"
#include "converter/view/selection.h"

namespace vz {

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
};

// How a command ended and what the platform must show of it. The window has shown its
// messages already; vizorka-cli turns the status into its report and exit status.
struct CommandResult {
  Status status;
  ViewUpdate view;

  CommandResult() = default;
  CommandResult(ViewUpdate shown) : view(shown) {}    // NOLINT(google-explicit-constructor)
  CommandResult(Status ended, ViewUpdate shown = {})  // NOLINT(google-explicit-constructor)
      : status(std::move(ended)), view(shown) {}
};

// "Vizorka - [" fileTitle "]".
std::string windowTitleForFile(const std::string& fileTitle);

// The upper-cased extension of a name: three letters after its fourth-last character,
// a ".", or the longer spelling of a format the program reads (".jpeg"); false when the
// name has neither.
bool extensionOf(const std::string& fileTitle, std::string& upperExtension);

// The part of a path after the last "\" or "/" (the whole path when there is neither).
std::string fileNameOf(const std::string& path);

// Open, once the file is chosen. The reader is the one whose signature the file's bytes
// carry, else the one of its extension; an unknown extension is read as a 4-colour KEP
// file when the prompts say so. Only a picture that arrives (whole or in part) changes
// anything: the picture, its name, view, history and the file plain Save writes (this
// one when it is a KEP file the writer can make again, else none). Anything else is
// reported and leaves them all as they were.
CommandResult openCommand(AppState& state, UserPrompts& prompts, const std::string& path);

// Paste as new picture, once the clipboard holds a bitmap: the title becomes
// "nevtelen", the old picture goes, and readPicture fills the document from the
// clipboard (returning whether a picture arrived). A failed read is reported and leaves the
// document empty. filePath stays as it was; plain Save has no file to write.
CommandResult pasteCommand(AppState& state, UserPrompts& prompts,
                           const std::function<bool(ImageDocument&)>& readPicture);

// Releases the picture before Open or Paste brings a new one.
void releaseForNewPicture(AppState& state);

// The threads a conversion shares its work among.
int threadsOf(const AppState& state);

// The conversions as the menu runs them, each with its conversion's status: kOk,
// kNotApplicable for a picture it does not handle, kOutOfMemory (the picture then stays
// as it was, but for a halving before a dither, which is kept).
// Dithers with the effect settings; sets marked auto that the dither uses are chosen
// for the picture first (after the pre-distortion).
CommandResult ditherCommand(AppState& state, int kind);
// Nearest colours; for 2 colours an auto 2-colour set is chosen for the picture first.
CommandResult nearestCommand(AppState& state, int target);

// "Legjobb színek" beside a set (a ColourSetId): that set of `settings` becomes the best
// for dithering the picture with `settings` (algorithm, pre-distortion, interlace), shown
// as the view shows it. Beside the 4-colour set with interlace on it chooses the pair;
// the even-line set is chosen for interlaced dithering beside the 4-colour set held.
// kNotApplicable (settings unchanged) when there is no picture to choose for.
Status chooseBestColours(const AppState& state, EffectSettings& settings, int setId);

CommandResult greyCommand(AppState& state, int kind);
CommandResult grey256Command(AppState& state);
CommandResult halveCommand(AppState& state, int direction);

// Tones a true-colour picture or a palette (the menu item is greyed for 2, 4 and 16
// colours).
CommandResult toneCommand(AppState& state, const ToneSettings& settings);

// Resizes the picture to the target: a new true-colour picture, shown at zoom 1 x 1 in
// colour. A result too large for memory is reported and changes nothing.
CommandResult resizeCommand(AppState& state, const ResizeTarget& target, UserPrompts& prompts);

}  // namespace vz
