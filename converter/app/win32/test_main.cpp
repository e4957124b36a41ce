// Vizorka-test.exe: Vizorka.exe with the GUI tests' state dump, for those tests only.
#include <windows.h>

#include "converter/app/win32/program.h"
#include "converter/app/win32/test_hook.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showState) {
  return vz::runProgram(instance, commandLine, showState, vz::answerTestRequest);
}
