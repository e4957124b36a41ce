// Copy and Paste as new picture through the clipboard's bitmap formats.
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"
#include "converter/commands/commands.h"
#include "converter/model/prompts.h"
#include "converter/app/win32/screen_view.h"

namespace vz {

// Puts the screen bitmap (the render at 1 x 1) on the clipboard as a device-dependent
// bitmap. Without a picture nothing is copied.
void copyToClipboard(HWND window, const ScreenBitmap& screen, const ImageDocument& doc);

// Reads the clipboard's device-dependent bitmap, or else its DIB, as the new picture.
// Returns false, having changed nothing, when the clipboard cannot be opened or holds
// no bitmap; otherwise the view update the window must carry out.
bool pasteFromClipboard(HWND window, AppState& state, UserPrompts& prompts, ViewUpdate& update);

}  // namespace vz
