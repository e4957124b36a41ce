#include "player/raw_sound.h"

namespace rawplay {

int pitchOfHeader(const uint8_t* header, size_t size) {
  if (size < 6 || header[0] != 'R' || header[1] != 'W' || header[2] != '4') return kDefaultPitch;
  return (header[4] | header[5] << 8) & 0x0FFF;
}

int sampleRateOfPitch(int pitch) {
  return static_cast<int>(195312.5 / (4096 - (pitch & 0x0FFF)));
}

void expandSamples(const uint8_t* bytes, size_t count, uint8_t* samples) {
  for (size_t i = 0; i < count; ++i) {
    samples[2 * i] = static_cast<uint8_t>(bytes[i] & 0xF0);
    samples[2 * i + 1] = static_cast<uint8_t>(bytes[i] << 4);
  }
}

uint32_t volumeWordOfLevel(int level) {
  const uint32_t channel = static_cast<uint32_t>(level & 0x0F) * 4096u;
  return channel | channel << 16;
}

WaveFormat waveFormatOfRate(int sampleRate) {
  WaveFormat format;
  format.samplesPerSecond = sampleRate;
  format.bytesPerSecond = sampleRate;
  return format;
}

}  // namespace rawplay
