#include "sound/codec.h"

#include <cmath>
#include <new>

#include "sound/resampler.h"
#include "sound/rw4.h"
#include "sound/wav_reader.h"
#include "sound/wav_writer.h"

namespace sound {

vz::Status encodeWavToRw4(const uint8_t* data, size_t size, const EncodeOptions& options,
                          EncodedSound& encoded) {
  encoded = EncodedSound();
  try {
    std::vector<float> resampled;
    {
      MonoSound input;
      vz::Status status = readWavMono(data, size, input);
      if (!status.ok()) return status;
      encoded.sampleRate = rawplay::sampleRateOfPitch(options.pitch);
      status = resample(input.samples, input.sampleRate, encoded.sampleRate, resampled);
      if (!status.ok()) return status;
    }
    scaleSamples(resampled, options.normalize ? normalizingFactor(resampled)
                                              : std::pow(10.0, options.gainDb / 20));
    const std::vector<uint8_t> levels =
        quantise(resampled, encoded.sampleRate, options.dither, encoded.clipped);
    encoded.pitch = options.pitch & 0x0FFF;
    encoded.samples = levels.size();
    encoded.file = makeRw4File(encoded.pitch, levels);
  } catch (const std::bad_alloc&) {
    encoded = EncodedSound();
    return vz::StatusCode::kOutOfMemory;
  }
  return vz::StatusCode::kOk;
}

vz::Status decodeToWav(const uint8_t* data, size_t size, DecodedSound& decoded) {
  decoded = DecodedSound();
  if (size > rawplay::kHeaderSize && (size - rawplay::kHeaderSize) > kMaxWavDataBytes / 2)
    return {vz::StatusCode::kTooLarge, "too long for a WAV file"};
  try {
    const PlayedSound sound = soundAsPlayed(data, size);
    decoded.pitch = sound.pitch;
    decoded.sampleRate = sound.sampleRate;
    decoded.samples = sound.samples.size();
    decoded.file = makeMono8BitWav(sound.sampleRate, sound.samples);
  } catch (const std::bad_alloc&) {
    decoded = DecodedSound();
    return vz::StatusCode::kOutOfMemory;
  }
  return vz::StatusCode::kOk;
}

}  // namespace sound
