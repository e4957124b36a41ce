// RIFF/WAVE files out: unsigned 8-bit PCM, one channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sound {

constexpr size_t kWavHeaderSize = 44;
// The most sample bytes the 32-bit size fields of a RIFF file can describe, pad byte
// included.
constexpr size_t kMaxWavDataBytes = 0xFFFFFFFEu - (kWavHeaderSize - 8);

// The whole file: the 44-byte header, then the samples (at most kMaxWavDataBytes).
std::vector<uint8_t> makeMono8BitWav(int sampleRate, const std::vector<uint8_t>& samples);

}  // namespace sound
