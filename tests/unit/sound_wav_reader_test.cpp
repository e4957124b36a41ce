#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sound/wav_reader.h"
#include "tests/unit/sound_test_support.h"
#include "tests/unit/test_support.h"

namespace sound {
namespace {

using test::WavShape;

// Five frames whose samples are multiples of 1/128, exact in every encoding.
std::vector<std::vector<double>> testFrames(int channels) {
  std::vector<std::vector<double>> frames(5);
  for (int f = 0; f < 5; ++f)
    for (int c = 0; c < channels; ++c)
      frames[f].push_back((f - 2) / 4.0 + (c % 3) / 8.0 - 1 / 128.0);
  return frames;
}

TEST(WavReader, EveryFormatMixedToMono) {
  struct Case {
    const char* name;
    WavShape shape;
  };
  const Case cases[] = {
      {"PCM 8 mono", {1, 1, 1, 8000, 8}},
      {"PCM 16 stereo", {1, 1, 2, 44100, 16}},
      {"PCM 24, 3 channels", {1, 1, 3, 48000, 24}},
      {"PCM 32 mono", {1, 1, 1, 96000, 32}},
      {"PCM 12 in 16-bit containers", {1, 1, 2, 22050, 12}},
      {"float 32 stereo at 1 Hz", {3, 1, 2, 1, 32}},
      {"float 64, 6 channels at 768 kHz", {3, 1, 6, 768000, 64}},
      {"extensible PCM 16, 4 channels", {0xFFFE, 1, 4, 32000, 16}},
      {"extensible PCM 24 stereo", {0xFFFE, 1, 2, 96000, 24}},
      {"extensible float 32 mono", {0xFFFE, 3, 1, 11025, 32}},
      {"extensible float 64 stereo", {0xFFFE, 3, 2, 44100, 64}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto frames = testFrames(c.shape.channels);
    const std::vector<uint8_t> file = test::makeWav(c.shape, frames);
    MonoSound sound;
    ASSERT_TRUE(readWavMono(file.data(), file.size(), sound).ok());
    EXPECT_EQ(sound.sampleRate, c.shape.rate);
    ASSERT_EQ(sound.samples.size(), frames.size());
    for (size_t f = 0; f < frames.size(); ++f) {
      double sum = 0;
      for (double sample : frames[f]) sum += sample;
      EXPECT_FLOAT_EQ(sound.samples[f], static_cast<float>(sum / c.shape.channels))
          << "frame " << f;
    }
  }
}

// Chunks in other orders and places, and the sizes streaming writers leave.
TEST(WavReader, ChunkLayouts) {
  const WavShape shape{1, 1, 2, 8000, 16};
  const auto frames = testFrames(2);
  std::vector<uint8_t> data;
  for (const auto& frame : frames)
    for (double sample : frame) test::appendSample(data, shape, sample);
  const auto wave = [](const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<uint8_t> body;
    test::appendTag(body, "WAVE");
    for (const auto& chunk : chunks) body.insert(body.end(), chunk.begin(), chunk.end());
    std::vector<uint8_t> file;
    test::appendChunk(file, "RIFF", body);
    return file;
  };
  const auto chunk = [](const char* tag, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> bytes;
    test::appendChunk(bytes, tag, body);
    return bytes;
  };
  const auto withDataSize = [&](uint32_t size, const std::vector<uint8_t>& trailing) {
    std::vector<uint8_t> bytes;
    test::appendTag(bytes, "data");
    test::appendLe(bytes, size, 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.insert(bytes.end(), trailing.begin(), trailing.end());
    return bytes;
  };
  const std::vector<uint8_t> fmt = chunk("fmt ", test::formatChunk(shape));
  const std::vector<uint8_t> oddList = chunk("LIST", {1, 2, 3});  // padded to 4
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    size_t frames;
  };
  const Case cases[] = {
      {"a padded odd chunk before the data", wave({fmt, oddList, chunk("data", data)}), 5},
      {"the data before the fmt chunk", wave({chunk("data", data), oddList, fmt}), 5},
      {"chunks after the data", wave({fmt, chunk("data", data), oddList}), 5},
      {"data size 0: to the end", wave({fmt, withDataSize(0, {})}), 5},
      {"data size 0xFFFFFFFF: to the end, whole frames",
       wave({fmt, withDataSize(0xFFFFFFFF, {9, 9})}), 5},
      {"an empty data chunk at the end", wave({fmt, chunk("data", {})}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonoSound sound;
    const vz::Status status = readWavMono(c.file.data(), c.file.size(), sound);
    ASSERT_TRUE(status.ok()) << status.reason();
    ASSERT_EQ(sound.samples.size(), c.frames);
    if (c.frames) {
      EXPECT_FLOAT_EQ(sound.samples[4], static_cast<float>(0.5 + 1 / 16.0 - 1 / 128.0));
    }
  }
}

TEST(WavReader, RefusesWithAReason) {
  const WavShape pcm{1, 1, 2, 8000, 16};
  const std::vector<uint8_t> good = test::makeWav(pcm, testFrames(2));
  // Offsets in a file of makeWav: the fmt chunk's fields from 20, its size at 16, the data
  // chunk's size at 40.
  const auto changed = [&good](size_t offset, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> file = good;
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<ptrdiff_t>(offset));
    return file;
  };
  const auto made = [](WavShape shape) { return test::makeWav(shape, testFrames(shape.channels)); };
  const std::vector<uint8_t> extensible = made({0xFFFE, 1, 2, 8000, 16});
  std::vector<uint8_t> wrongGuid = extensible, shortExtensible = extensible;
  wrongGuid[50] ^= 1;
  shortExtensible[16] = 18;
  std::vector<uint8_t> noData;
  test::appendChunk(noData, "RIFF", [&] {
    std::vector<uint8_t> body;
    test::appendTag(body, "WAVE");
    test::appendChunk(body, "fmt ", test::formatChunk(pcm));
    return body;
  }());
  std::vector<uint8_t> noFormat = {'R', 'I', 'F', 'F', 16, 0, 0, 0, 'W', 'A', 'V', 'E'};
  test::appendChunk(noFormat, "data", {1, 2, 3, 4});
  // A data chunk before the fmt chunk, then another that claims to run to the end.
  std::vector<uint8_t> secondDataToTheEnd = noFormat;
  test::appendChunk(secondDataToTheEnd, "data", {5, 6, 7, 8});
  std::fill_n(secondDataToTheEnd.end() - 8, 4, uint8_t{0xFF});
  std::vector<uint8_t> twoFormats = good;
  twoFormats.insert(twoFormats.begin() + 36, good.begin() + 12, good.begin() + 36);

  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    vz::StatusCode code;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, vz::StatusCode::kNotThisFormat, "not a RIFF/WAVE"},
      {"an AVI", changed(8, {'A', 'V', 'I', ' '}), vz::StatusCode::kNotThisFormat,
       "not a RIFF/WAVE"},
      {"big-endian", changed(0, {'R', 'I', 'F', 'X'}), vz::StatusCode::kUnsupported, "RIFX"},
      {"RF64", changed(0, {'R', 'F', '6', '4'}), vz::StatusCode::kUnsupported, "RF64"},
      {"no fmt chunk", noFormat, vz::StatusCode::kDamaged, "no fmt chunk"},
      {"no data chunk", noData, vz::StatusCode::kDamaged, "no data chunk"},
      {"cut inside the data chunk's header", std::vector<uint8_t>(good.begin(), good.begin() + 40),
       vz::StatusCode::kDamaged, "no data chunk"},
      {"two fmt chunks", twoFormats, vz::StatusCode::kDamaged, "two fmt chunks"},
      {"fmt chunk of 14 bytes", changed(16, {14}), vz::StatusCode::kDamaged, "too short"},
      {"fmt chunk past the end", changed(16, {0, 0, 0, 1}), vz::StatusCode::kDamaged,
       "past the end"},
      {"data past the end", changed(40, {21}), vz::StatusCode::kDamaged, "past the end"},
      {"second data chunk to the end", secondDataToTheEnd, vz::StatusCode::kDamaged,
       "past the end"},
      {"ADPCM", changed(20, {2}), vz::StatusCode::kUnsupported, "ADPCM"},
      {"mu-law", changed(20, {7}), vz::StatusCode::kUnsupported, "mu-law"},
      {"MP3", changed(20, {0x55}), vz::StatusCode::kUnsupported, "MPEG"},
      {"extensible ADPCM", made({0xFFFE, 2, 2, 8000, 16}), vz::StatusCode::kUnsupported, "ADPCM"},
      {"extensible, foreign GUID", wrongGuid, vz::StatusCode::kUnsupported, "sub-format"},
      {"extensible fmt of 18 bytes", shortExtensible, vz::StatusCode::kDamaged, "too short"},
      {"no channels", changed(22, {0}), vz::StatusCode::kDamaged, "no channels"},
      {"rate 0", changed(24, {0, 0}), vz::StatusCode::kUnsupported, "1..768000"},
      {"rate 768001", changed(24, {0x01, 0xB8, 0x0B}), vz::StatusCode::kUnsupported, "1..768000"},
      {"block too small", changed(32, {3}), vz::StatusCode::kDamaged, "block"},
      {"PCM of 40 bits", changed(34, {40}), vz::StatusCode::kUnsupported, "40-bit"},
      {"float of 16 bits", made({3, 1, 1, 8000, 16}), vz::StatusCode::kUnsupported, "16-bit float"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonoSound sound;
    const vz::Status status = readWavMono(c.file.data(), c.file.size(), sound);
    EXPECT_EQ(status.code(), c.code) << status.reason();
    EXPECT_NE(status.reason().find(c.reason), std::string::npos) << status.reason();
    EXPECT_TRUE(sound.samples.empty());
  }
}

// Float samples that are no numbers, or far beyond full scale, cannot upset the sums after.
TEST(WavReader, FloatsOutsideReasonAreHeld) {
  const WavShape shape{3, 1, 1, 8000, 64};
  const auto file = test::makeWav(shape, {{std::nan("")}, {1e300}, {-INFINITY}, {0.25}});
  MonoSound sound;
  ASSERT_TRUE(readWavMono(file.data(), file.size(), sound).ok());
  const std::vector<float> expected = {0, static_cast<float>(kFloatSampleLimit),
                                       static_cast<float>(-kFloatSampleLimit), 0.25f};
  EXPECT_EQ(sound.samples, expected);
}

// sox writes the files and mixes them to mono itself; we must read the same samples.
TEST(WavReader, AgreesWithSox) {
  ASSERT_TRUE(vz::test::haveTool("sox")) << "sox, the judge, is missing";
  const vz::test::ScratchFolder scratch;
  const char* const formats[] = {
      "-r 8000 -c 1 -b 8 -e unsigned-integer", "-r 44100 -c 2 -b 16 -e signed-integer",
      "-r 48000 -c 3 -b 24 -e signed-integer", "-r 22050 -c 2 -b 32 -e signed-integer",
      "-r 96000 -c 6 -b 32 -e floating-point", "-r 11025 -c 1 -b 64 -e floating-point"};
  for (const char* format : formats) {
    SCOPED_TRACE(format);
    const std::string wav = scratch / "in.wav", mono = scratch / "mono.f32";
    ASSERT_TRUE(vz::test::runQuietly(std::string("sox -D -n ") + format + " " + wav +
                                     " synth 0.05 sine 300 sine 500 sine 700 sine 900 sine 1100 "
                                     "sine 1300 gain -2"));
    ASSERT_TRUE(vz::test::runQuietly("sox -D " + wav + " -t f32 -c 1 " + mono));
    const std::vector<uint8_t> file = vz::test::readFileBytes(wav);
    const std::vector<uint8_t> reference = vz::test::readFileBytes(mono);
    MonoSound sound;
    ASSERT_TRUE(readWavMono(file.data(), file.size(), sound).ok());
    ASSERT_EQ(sound.samples.size() * 4, reference.size());
    for (size_t i = 0; i < sound.samples.size(); ++i) {
      float expected;
      std::memcpy(&expected, reference.data() + 4 * i, 4);
      ASSERT_NEAR(sound.samples[i], expected, 2e-7) << "sample " << i;
    }
  }
}

}  // namespace
}  // namespace sound
