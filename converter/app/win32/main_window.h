// The main window "FoAblak": its state, resources and window procedure.
#pragma once

#include <windows.h>

#include <string>

#include "converter/app/win32/screen_view.h"
#include "converter/model/app_state.h"

namespace vz {

constexpr wchar_t kMainWindowClass[] = L"FoAblak";

// Everything the window works with; owned by the start-up code, reached by the
// window procedure through the window's user data.
struct MainWindow {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HICON icon = nullptr;
  HCURSOR arrowCursor = nullptr;
  HCURSOR hourglassCursor = nullptr;
  HPEN selectionPen = nullptr;
  HBRUSH marginBrush = nullptr;
  HACCEL accelerators = nullptr;
  HWND statusBar = nullptr;
  HFONT statusFont = nullptr;  // the status bar's font at the monitor's DPI
  ScreenBitmap screen;
  AppState state;
  // Wheel turns short of a notch, kept for the next message: down, across, zoom.
  int wheelRest[3] = {0, 0, 0};
};

// Opens a file as Open does, without its dialog: a dropped file, the program's argument.
void openFile(MainWindow& w, const std::string& utf8Path);

// Pass the MainWindow as the creation parameter of CreateWindowEx.
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vz
