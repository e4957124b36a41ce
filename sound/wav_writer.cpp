#include "sound/wav_writer.h"

#include <cstring>

#include "base/little_endian.h"

namespace sound {

std::vector<uint8_t> makeMono8BitWav(int sampleRate, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> file(kWavHeaderSize + samples.size() + samples.size() % 2, 0);
  uint8_t* out = file.data();
  const auto tag = [&out](const char* text) {
    std::memcpy(out, text, 4);
    out += 4;
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size());
  tag("RIFF");
  out = vz::storeLe(out, static_cast<uint32_t>(file.size() - 8), 4);
  tag("WAVE");
  tag("fmt ");
  out = vz::storeLe(out, 16, 4);
  out = vz::storeLe(out, 1, 2);  // PCM
  out = vz::storeLe(out, 1, 2);  // one channel
  out = vz::storeLe(out, static_cast<uint32_t>(sampleRate), 4);
  out = vz::storeLe(out, static_cast<uint32_t>(sampleRate), 4);  // bytes per second
  out = vz::storeLe(out, 1, 2);                                  // bytes per frame
  out = vz::storeLe(out, 8, 2);                                  // bits per sample
  tag("data");
  out = vz::storeLe(out, dataBytes, 4);
  if (!samples.empty()) std::memcpy(out, samples.data(), samples.size());
  return file;
}

}  // namespace sound
