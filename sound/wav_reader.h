// RIFF/WAVE files in: the format chunk, the samples, and their mix to one channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/status.h"

namespace sound {

constexpr int kMinWavRate = 1;
constexpr int kMaxWavRate = 768000;

enum class SampleEncoding { kPcm, kFloat };

struct WavFormat {
  SampleEncoding encoding = SampleEncoding::kPcm;
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;  // the container: 8, 16, 24 or 32 for PCM; 32 or 64 for float
  size_t blockAlign = 0;  // bytes from one frame to the next
  size_t dataOffset = 0;
  size_t frames = 0;  // whole frames in the data chunk
};

// One channel at the file's rate, full scale +-1.
struct MonoSound {
  int sampleRate = 0;
  std::vector<float> samples;
};

// Whether the bytes start like a WAVE file ("RIFF", "RIFX" or "RF64", then "WAVE" at 8),
// whether or not its form is one readWavFormat takes.
bool looksLikeWave(const uint8_t* data, size_t size);

// Finds the format and data chunks of a little-endian RIFF/WAVE file and checks them
// against the data: kNotThisFormat without the RIFF/WAVE signature, kUnsupported for
// compressed and other forms not read here, kDamaged for missing chunks, impossible
// fields and sizes that run past the data. A data size of 0 or 0xFFFFFFFF, as streaming
// writers leave it, reaches to the end of the data.
vz::Status readWavFormat(const uint8_t* data, size_t size, WavFormat& format);

// readWavFormat, then every frame averaged over its channels. A float sample that is not a
// number counts as 0; others are held within +-kFloatSampleLimit, so that no sum overflows.
// kOutOfMemory when there is no room for the samples.
vz::Status readWavMono(const uint8_t* data, size_t size, MonoSound& sound);

constexpr double kFloatSampleLimit = 1e6;

}  // namespace sound
