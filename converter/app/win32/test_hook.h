// The GUI tests' hook, built only into their Vizorka-test.exe. Another process cannot
// read this window's menus or scroll bars under Wine, so a test sends WM_COPYDATA with
// kStateDumpRequest and a UTF-16 file path, and the window writes what a test checks
// into that file (UTF-8, one tab-separated record a line).
#pragma once

#include <windows.h>

#include "converter/app/win32/main_window.h"

namespace vz {

constexpr ULONG_PTR kStateDumpRequest = 0x565A5354;

// The main window's extra messages in the test build: a state-dump request is answered
// TRUE when the file was written.
bool answerTestRequest(MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace vz
