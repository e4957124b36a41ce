#include "sound/wav_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/little_endian.h"

namespace sound {

namespace {

constexpr uint32_t kFormatPcm = 0x0001;
constexpr uint32_t kFormatFloat = 0x0003;
constexpr uint32_t kFormatExtensible = 0xFFFE;
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kRiffHeaderSize = 12;
constexpr uint32_t kDataToTheEnd = 0xFFFFFFFF;

// The bytes of the extensible format's sub-format GUID after its first four, which
// hold the format code.
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool hasTag(const uint8_t* at, const char* tag) {
  return std::memcmp(at, tag, 4) == 0;
}

// Names the usual compressed formats, so that the refusal says what the file holds.
std::string nameOfFormat(uint32_t tag) {
  switch (tag) {
    case 0x0002:
    case 0x0011:
      return "ADPCM";
    case 0x0006:
      return "A-law";
    case 0x0007:
      return "mu-law";
    case 0x0031:
      return "GSM 6.10";
    case 0x0050:
    case 0x0055:
      return "MPEG audio";
    default: {
      char text[32];
      std::snprintf(text, sizeof text, "format 0x%04X", static_cast<unsigned>(tag));
      return text;
    }
  }
}

vz::Status damaged(const std::string& reason) {
  return {vz::StatusCode::kDamaged, reason};
}

// Reads the format chunk's fields into `format` (all but the data's place and size).
vz::Status readFormatChunk(const uint8_t* chunk, size_t size, WavFormat& format) {
  if (size < 16) return damaged("the fmt chunk is too short");
  uint32_t tag = vz::loadU16Le(chunk);
  const uint32_t channels = vz::loadU16Le(chunk + 2);
  const uint32_t rate = vz::loadU32Le(chunk + 4);
  const uint32_t blockAlign = vz::loadU16Le(chunk + 12);
  const uint32_t bits = vz::loadU16Le(chunk + 14);
  if (tag == kFormatExtensible) {
    if (size < 40 || vz::loadU16Le(chunk + 16) < 22)
      return damaged("the extensible fmt chunk is too short");
    if (std::memcmp(chunk + 28, kSubFormatTail, sizeof kSubFormatTail) != 0)
      return {vz::StatusCode::kUnsupported, "unsupported WAVE sub-format"};
    tag = vz::loadU32Le(chunk + 24);
  }
  if (tag == kFormatPcm) {
    if (bits < 1 || bits > 32)
      return {vz::StatusCode::kUnsupported, std::to_string(bits) + "-bit PCM is not supported"};
    format.encoding = SampleEncoding::kPcm;
    format.bitsPerSample = static_cast<int>((bits + 7) / 8 * 8);  // samples sit left-justified
  } else if (tag == kFormatFloat) {
    if (bits != 32 && bits != 64)
      return {vz::StatusCode::kUnsupported, std::to_string(bits) + "-bit float is not supported"};
    format.encoding = SampleEncoding::kFloat;
    format.bitsPerSample = static_cast<int>(bits);
  } else {
    return {vz::StatusCode::kUnsupported,
            "compressed WAVE (" + nameOfFormat(tag) + ") is not supported; only PCM and float are"};
  }
  if (channels == 0) return damaged("no channels");
  if (rate < kMinWavRate || rate > kMaxWavRate)
    return {vz::StatusCode::kUnsupported,
            "sample rate " + std::to_string(rate) + " Hz is outside 1..768000 Hz"};
  if (blockAlign < channels * static_cast<uint32_t>(format.bitsPerSample / 8))
    return damaged("the block size is too small for the channels");
  format.channels = static_cast<int>(channels);
  format.sampleRate = static_cast<int>(rate);
  format.blockAlign = blockAlign;
  return vz::StatusCode::kOk;
}

// Frames averaged over their channels by a reader of one sample (its bytes to +-1).
template <typename ReadSample>
void mixFrames(const uint8_t* data, const WavFormat& format, float* out, ReadSample readSample) {
  const size_t step = static_cast<size_t>(format.bitsPerSample / 8);
  const double scale = 1.0 / format.channels;
  for (size_t frame = 0; frame < format.frames; ++frame) {
    const uint8_t* sample = data + format.dataOffset + frame * format.blockAlign;
    double sum = 0;
    for (int channel = 0; channel < format.channels; ++channel, sample += step)
      sum += readSample(sample);
    out[frame] = static_cast<float>(sum * scale);
  }
}

double limitedFloat(double value) {
  if (std::isnan(value)) return 0;
  return value > kFloatSampleLimit    ? kFloatSampleLimit
         : value < -kFloatSampleLimit ? -kFloatSampleLimit
                                      : value;
}

void mixToMono(const uint8_t* data, const WavFormat& format, float* out) {
  if (format.encoding == SampleEncoding::kFloat) {
    if (format.bitsPerSample == 32) {
      mixFrames(data, format, out, [](const uint8_t* p) {
        float value;
        const uint32_t bits = vz::loadU32Le(p);
        std::memcpy(&value, &bits, sizeof value);
        return limitedFloat(value);
      });
    } else {
      mixFrames(data, format, out, [](const uint8_t* p) {
        double value;
        const uint64_t bits = vz::loadU64Le(p);
        std::memcpy(&value, &bits, sizeof value);
        return limitedFloat(value);
      });
    }
    return;
  }
  switch (format.bitsPerSample) {
    case 8:  // unsigned, mid-scale 128
      mixFrames(data, format, out, [](const uint8_t* p) { return (p[0] - 128) * (1.0 / 128); });
      break;
    case 16:
      mixFrames(data, format, out, [](const uint8_t* p) {
        return static_cast<int16_t>(vz::loadU16Le(p)) * (1.0 / 32768);
      });
      break;
    case 24:
      mixFrames(data, format, out, [](const uint8_t* p) {
        const uint32_t high = vz::loadU16Le(p + 1) << 16 | static_cast<uint32_t>(p[0]) << 8;
        return static_cast<int32_t>(high) * (1.0 / 2147483648.0);
      });
      break;
    default:
      mixFrames(data, format, out, [](const uint8_t* p) {
        return static_cast<int32_t>(vz::loadU32Le(p)) * (1.0 / 2147483648.0);
      });
  }
}

}  // namespace

bool looksLikeWave(const uint8_t* data, size_t size) {
  return size >= kRiffHeaderSize &&
         (hasTag(data, "RIFF") || hasTag(data, "RIFX") || hasTag(data, "RF64")) &&
         hasTag(data + 8, "WAVE");
}

vz::Status readWavFormat(const uint8_t* data, size_t size, WavFormat& format) {
  format = WavFormat();
  if (!looksLikeWave(data, size)) return {vz::StatusCode::kNotThisFormat, "not a RIFF/WAVE file"};
  if (hasTag(data, "RIFX"))
    return {vz::StatusCode::kUnsupported, "big-endian (RIFX) WAVE is not supported"};
  if (hasTag(data, "RF64")) return {vz::StatusCode::kUnsupported, "RF64 WAVE is not supported"};
  bool haveFormat = false;
  bool haveData = false;
  size_t dataSize = 0;
  size_t offset = kRiffHeaderSize;
  while (size - offset >= kChunkHeaderSize && !(haveFormat && haveData)) {
    const uint8_t* chunk = data + offset;
    const uint32_t chunkSize = vz::loadU32Le(chunk + 4);
    const size_t room = size - offset - kChunkHeaderSize;
    // Only the data chunk that is read may run to the end: a later one is skipped by its
    // size, which must then lie within the file.
    const bool firstData = hasTag(chunk, "data") && !haveData;
    const bool toTheEnd = firstData && (chunkSize == 0 || chunkSize == kDataToTheEnd);
    if (!toTheEnd && chunkSize > room)
      return damaged(std::string(chunk, chunk + 4) + " chunk runs past the end of the file");
    if (hasTag(chunk, "fmt ")) {
      if (haveFormat) return damaged("two fmt chunks");
      const vz::Status status = readFormatChunk(chunk + kChunkHeaderSize, chunkSize, format);
      if (!status.ok()) return status;
      haveFormat = true;
    } else if (firstData) {
      haveData = true;
      format.dataOffset = offset + kChunkHeaderSize;
      dataSize = toTheEnd ? room : chunkSize;
      if (toTheEnd) break;
    }
    // Chunks are padded to an even size; the pad byte may be missing at the very end.
    offset += kChunkHeaderSize + chunkSize;
    if (chunkSize % 2 && offset < size) ++offset;
  }
  if (!haveFormat) return damaged("no fmt chunk");
  if (!haveData) return damaged("no data chunk");
  format.frames = dataSize / format.blockAlign;
  return vz::StatusCode::kOk;
}

vz::Status readWavMono(const uint8_t* data, size_t size, MonoSound& sound) {
  sound = MonoSound();
  WavFormat format;
  const vz::Status status = readWavFormat(data, size, format);
  if (!status.ok()) return status;
  try {
    sound.samples.assign(format.frames, 0.0f);
  } catch (const std::bad_alloc&) {
    return vz::StatusCode::kOutOfMemory;
  }
  mixToMono(data, format, sound.samples.data());
  sound.sampleRate = format.sampleRate;
  return vz::StatusCode::kOk;
}

}  // namespace sound
