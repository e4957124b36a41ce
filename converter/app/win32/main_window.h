// The main window "FoAblak": its state, resources and window procedure, and the picture
// view window inside it.
#pragma once

#include <windows.h>

#include <string>

#include "converter/app/win32/screen_view.h"
#include "converter/model/app_state.h"

namespace vz {

constexpr wchar_t kMainWindowClass[] = L"FoAblak";

struct MainWindow;

// A message the main window answers beyond its own: the GUI tests' build adds its state
// dump through it, the program leaves it out. True when it answered, with `result`.
using ExtraMessageHandler = bool (*)(MainWindow& w, UINT message, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result);

// Everything the window works with; owned by the start-up code, reached by the
// window procedures through the windows' user data.
struct MainWindow {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HWND pictureView = nullptr;  // the child that shows the picture, with the scroll bars
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
  ExtraMessageHandler extraMessages = nullptr;
};

// Registers the main window's and the picture view's classes; false when either fails.
bool registerWindowClasses(HINSTANCE instance, HICON icon, HCURSOR arrowCursor);

// Pass the MainWindow as the creation parameter of CreateWindowEx.
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens a file as Open does, without its dialog: a dropped file, the program's argument.
void openFile(MainWindow& w, const std::string& utf8Path);

}  // namespace vz
