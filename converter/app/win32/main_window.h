// The main window "FoAblak": its state, resources and window procedure.
#pragma once

#include <windows.h>

#include "converter/model/app_state.h"
#include "converter/app/win32/screen_view.h"

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
  ScreenBitmap screen;
  AppState state;
};

// Pass the MainWindow as the creation parameter of CreateWindowEx.
LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vz
