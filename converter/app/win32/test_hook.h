// Test hook for the GUI tests. Another process cannot read this window's menus or
// scroll bars under Wine, so a test sends WM_COPYDATA with kStateDumpRequest and a
// UTF-16 file path, and the window writes what a test checks into that file (UTF-8,
// one tab-separated record a line). Nothing else uses it.
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"

namespace vz {

constexpr ULONG_PTR kStateDumpRequest = 0x565A5354;

// True when the message was a state-dump request and the file was written.
bool answerStateDumpRequest(HWND window, const COPYDATASTRUCT& request, const AppState& state,
                            HWND statusBar);

}  // namespace vz
