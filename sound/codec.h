// rawconv's two directions over bytes in memory: a RIFF/WAVE file to an RW4 file, and any
// file, read as rawplay reads it, to a WAV file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/status.h"
#include "player/raw_sound.h"
#include "sound/quantiser.h"

namespace sound {

struct EncodeOptions {
  int pitch = rawplay::kDefaultPitch;
  Dither dither = Dither::kTpdf;
  double gainDb = 0;
  bool normalize = false;  // instead of the gain: the peak to full scale
};

struct EncodedSound {
  int pitch = 0;
  int sampleRate = 0;  // the rate rawplay plays the pitch at
  size_t samples = 0;
  size_t clipped = 0;  // samples beyond the 4-bit range after the gain
  std::vector<uint8_t> file;
};

// Reads the WAV file, mixes it to one channel, resamples it to the pitch's rate, applies the
// level and quantises it to 4 bits. Fails as readWavMono and resample do.
vz::Status encodeWavToRw4(const uint8_t* data, size_t size, const EncodeOptions& options,
                          EncodedSound& encoded);

struct DecodedSound {
  int pitch = 0;
  int sampleRate = 0;
  size_t samples = 0;
  std::vector<uint8_t> file;  // a mono 8-bit WAV at the rate
};

// Whatever the bytes are, the WAV of what rawplay would play from them; kTooLarge when
// that is beyond a WAV file's size, kOutOfMemory when there is no room for it.
vz::Status decodeToWav(const uint8_t* data, size_t size, DecodedSound& decoded);

}  // namespace sound
