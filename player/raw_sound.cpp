#include "player/raw_sound.h"

namespace rawplay {

int pitchOfHeader(const uint8_t* header, size_t size) {
  if (size < 6 || header[0] != 'R' || header[1] != 'W' || header[2] != '4') return kDefaultPitch;
  return (header[4] | header[5] << 8) & 0x0FFF;
}

int sampleRateOfPitch(int pitch) {
  return static_cast<int>(195312.5 / (4096 - pitch));
}

}  // namespace rawplay
