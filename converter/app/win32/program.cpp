#include "converter/app/win32/program.h"

#include <string>

#include "base/file_write.h"
#include "base/utf16.h"
#include "converter/commands/window_rules.h"
#include "converter/resources/resource.h"

namespace vz {

int runProgram(HINSTANCE instance, PWSTR commandLine, int showState,
               ExtraMessageHandler extraMessages) {
  prepareSafeWrites();
  MainWindow main;
  main.instance = instance;
  main.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VIZORKA));
  main.arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
  main.hourglassCursor = LoadCursorW(nullptr, IDC_WAIT);
  main.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
  main.extraMessages = extraMessages;
  if (!registerWindowClasses(instance, main.icon, main.arrowCursor)) return 1;
  // The window procedure finds `main` through the creation parameter.
  HWND window = CreateWindowExW(0, kMainWindowClass, L"Vizorka",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, &main);
  if (!window) return 1;
  ShowWindow(window, showState);
  UpdateWindow(window);

  std::string path, title;
  if (commandLine && parseCommandLine(wideToUtf8(commandLine), path, title)) openFile(main, path);

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

}  // namespace vz
