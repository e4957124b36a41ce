// readWavMono on arbitrary bytes: never a read past the data, never a crash; either every
// frame as a finite sample within the limit, or nothing. One file in 32 (by its size) that
// is short at the default pitch's rate goes on through the whole encoding, whose levels must
// stay 4-bit: the filter's design and the resampling cost hundreds of parses, and the fuzzer
// is here for the parser.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sound/codec.h"
#include "sound/resampler.h"
#include "sound/wav_reader.h"

namespace {

constexpr size_t kMostEncodedSamples = size_t{1} << 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  const std::vector<uint8_t> file(data, data + size);
  sound::WavFormat format;
  const vz::Status formatStatus = sound::readWavFormat(file.data(), file.size(), format);
  sound::MonoSound sound;
  const vz::Status status = sound::readWavMono(file.data(), file.size(), sound);
  if (status.code() != formatStatus.code()) __builtin_trap();
  if (!status.ok()) {
    if (!sound.samples.empty()) __builtin_trap();
    return 0;
  }
  if (sound.samples.size() != format.frames ||
      format.dataOffset + format.frames * format.blockAlign > file.size())
    __builtin_trap();
  for (const float sample : sound.samples)
    if (!(std::fabs(sample) <= sound::kFloatSampleLimit)) __builtin_trap();

  if (size % 32 != 0) return 0;
  const int rate = rawplay::sampleRateOfPitch(rawplay::kDefaultPitch);
  if (sound::resampledCount(sound.samples.size(), sound.sampleRate, rate) > kMostEncodedSamples)
    return 0;
  sound::EncodeOptions options;
  options.dither = static_cast<sound::Dither>(size / 32 % 3);
  options.normalize = size / 32 % 2;
  sound::EncodedSound encoded;
  if (!sound::encodeWavToRw4(file.data(), file.size(), options, encoded).ok()) __builtin_trap();
  if (encoded.file.size() != 16 + (encoded.samples + 1) / 2) __builtin_trap();
  return 0;
}
