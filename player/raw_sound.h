// Raw 4-bit sound files: the header and the sample rate it gives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rawplay {

constexpr int kDefaultPitch = 4072;
constexpr size_t kHeaderSize = 16;

// The pitch of a 16-byte header: the low 12 bits at offset 4 after "RW4", else 4072.
int pitchOfHeader(const uint8_t* header, size_t size);

// 195312.5 / (4096 - pitch), truncated.
int sampleRateOfPitch(int pitch);

}  // namespace rawplay
