// rawplay: plays a raw 4-bit sound file through the wave-out device.
#include <windows.h>

#include <cstdio>

#include "player/raw_sound.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("Usage: %ls <input.raw>\n", argv[0]);
    return 2;
  }
  return 0;
}
