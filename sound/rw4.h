// RW4 raw sound files as rawplay plays them: a 16-byte header ("RW4", a zero byte, the
// 12-bit pitch little-endian, ten zero bytes), then 4-bit samples, two to a byte, high
// nibble first. The rate is rawplay's: 195312.5 / (4096 - pitch), truncated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sound {

constexpr int kLowestPitch = 0;
constexpr int kHighestPitch = 4095;

// The pitch whose rate lies nearest to `rate` Hz (the lower pitch of two as near).
int pitchNearestRate(int rate);

// A whole RW4 file of the levels (0..15); an odd count is padded with the silent level.
std::vector<uint8_t> makeRw4File(int pitch, const std::vector<uint8_t>& levels);

// What rawplay would play from these bytes: the pitch (4072 without "RW4"), its rate, and
// the unsigned 8-bit samples after the 16 header bytes, which are never played.
struct PlayedSound {
  int pitch = 0;
  int sampleRate = 0;
  std::vector<uint8_t> samples;
};

PlayedSound soundAsPlayed(const uint8_t* data, size_t size);

}  // namespace sound
