// Vizorka.exe: the program's entry point.
#include <windows.h>

#include "converter/app/win32/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showState) {
  return vz::runProgram(instance, commandLine, showState, nullptr);
}
