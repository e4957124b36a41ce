// Raw 4-bit sound files: the header, the sample rate it gives, and the 8-bit samples
// the bytes expand into.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rawplay {

constexpr int kDefaultPitch = 4072;
constexpr size_t kHeaderSize = 16;

// The pitch of a header of `size` bytes: the low 12 bits of the little-endian word at
// offset 4 after "RW4", else 4072 (also when the header is too short to hold the word).
int pitchOfHeader(const uint8_t* header, size_t size);

// 195312.5 / (4096 - pitch), truncated. Only the low 12 bits of pitch count.
int sampleRateOfPitch(int pitch);

// Each byte holds two 4-bit samples, high nibble first; each becomes the 8-bit sample
// nibble * 16. Writes 2 * count bytes to samples.
void expandSamples(const uint8_t* bytes, size_t count, uint8_t* samples);

// The device's volume word for a level 0..15: level * 4096 for the left channel in the
// low 16 bits and for the right channel in the high 16 bits (so 15 gives 0xF000, not 0xFFFF).
uint32_t volumeWordOfLevel(int level);

// What the device is opened with: PCM, one channel, unsigned 8-bit samples.
struct WaveFormat {
  int channels = 1;
  int bitsPerSample = 8;
  int blockAlign = 1;
  int samplesPerSecond = 0;
  int bytesPerSecond = 0;
};

WaveFormat waveFormatOfRate(int sampleRate);

}  // namespace rawplay
