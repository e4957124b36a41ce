// Vizorka.exe from start to end, shared by the program's entry point and the GUI tests'
// build of it.
#pragma once

#include <windows.h>

#include "converter/app/win32/main_window.h"

namespace vz {

// Shows the main window, opens the picture the command line names, and runs the message
// loop to its end; returns the exit code. `extraMessages` answers what the program's
// own build does not (nullptr there).
int runProgram(HINSTANCE instance, PWSTR commandLine, int showState,
               ExtraMessageHandler extraMessages);

}  // namespace vz
