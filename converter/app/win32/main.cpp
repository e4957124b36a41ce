// Vizorka.exe: start-up, the main window and its message loop.
#include <windows.h>

#include "base/file_write.h"
#include "base/utf16.h"
#include "converter/app/win32/main_window.h"
#include "converter/commands/window_rules.h"
#include "converter/model/file_io.h"
#include "converter/resources/resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showState) {
  vz::prepareSafeWrites();
  vz::MainWindow main;
  main.instance = instance;
  main.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VIZORKA));
  main.arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
  main.hourglassCursor = LoadCursorW(nullptr, IDC_WAIT);
  main.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));

  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = vz::mainWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = main.icon;
  windowClass.hCursor = main.arrowCursor;
  windowClass.lpszMenuName = MAKEINTRESOURCEW(IDM_MAIN_MENU);
  windowClass.lpszClassName = vz::kMainWindowClass;
  if (!RegisterClassW(&windowClass)) return 1;
  // The window procedure finds `main` through the creation parameter.
  HWND window = CreateWindowExW(0, vz::kMainWindowClass, L"Vizorka",
                                WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, &main);
  if (!window) return 1;
  ShowWindow(window, showState);
  UpdateWindow(window);

  std::string path, title;
  if (commandLine && vz::parseCommandLine(vz::wideToUtf8(commandLine), path, title))
    vz::openFile(main, path);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (main.window && IsWindow(main.window) &&
        TranslateAcceleratorW(main.window, main.accelerators, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
