// Copy and Paste as new picture through the clipboard's bitmap formats.
#pragma once

#include <windows.h>

#include "converter/app/win32/screen_view.h"
#include "converter/commands/commands.h"
#include "converter/model/app_state.h"
#include "converter/model/prompts.h"

namespace vz {

// Puts the document, rendered at 1 x 1 in the view's colours, on the clipboard as a
// device-dependent bitmap (whatever size the view shows it at). Without a picture
// nothing is copied.
void copyToClipboard(HWND window, const ImageDocument& doc, bool blackAndWhiteView);

// Reads the clipboard's device-dependent bitmap, or else its DIB, as the new picture.
// Returns false, having changed nothing, when the clipboard cannot be opened or holds
// no bitmap; otherwise the view update the window must carry out.
bool pasteFromClipboard(HWND window, AppState& state, UserPrompts& prompts, ViewUpdate& update);

}  // namespace vz
