#include "sound/rw4.h"

#include <cstdlib>

#include "base/little_endian.h"
#include "player/raw_sound.h"
#include "sound/quantiser.h"

namespace sound {

int pitchNearestRate(int rate) {
  int best = kLowestPitch;
  for (int pitch = kLowestPitch + 1; pitch <= kHighestPitch; ++pitch)
    if (std::abs(rawplay::sampleRateOfPitch(pitch) - rate) <
        std::abs(rawplay::sampleRateOfPitch(best) - rate))
      best = pitch;
  return best;
}

std::vector<uint8_t> makeRw4File(int pitch, const std::vector<uint8_t>& levels) {
  std::vector<uint8_t> file(rawplay::kHeaderSize + (levels.size() + 1) / 2, 0);
  file[0] = 'R';
  file[1] = 'W';
  file[2] = '4';
  vz::storeLe(file.data() + 4, static_cast<uint32_t>(pitch & 0x0FFF), 2);
  uint8_t* out = file.data() + rawplay::kHeaderSize;
  for (size_t i = 0; i < levels.size(); i += 2) {
    const uint8_t second = i + 1 < levels.size() ? levels[i + 1] : kSilentLevel;
    *out++ = static_cast<uint8_t>(levels[i] << 4 | second);
  }
  return file;
}

PlayedSound soundAsPlayed(const uint8_t* data, size_t size) {
  PlayedSound sound;
  const size_t headerBytes = size < rawplay::kHeaderSize ? size : rawplay::kHeaderSize;
  sound.pitch = rawplay::pitchOfHeader(data, headerBytes);
  sound.sampleRate = rawplay::sampleRateOfPitch(sound.pitch);
  const size_t count = size - headerBytes;
  sound.samples.resize(2 * count);
  rawplay::expandSamples(data + headerBytes, count, sound.samples.data());
  return sound;
}

}  // namespace sound
