// rawconv as a whole program: both directions, their messages and exit statuses, and what
// the sound keeps on its way through 4 bits.
#include <gtest/gtest.h>

#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "player/raw_sound.h"
#include "sound/wav_reader.h"
#include "tests/unit/sound_test_support.h"
#include "tests/unit/test_support.h"

namespace sound {
namespace {

const std::string kRawconv = RAWCONV_PATH;

struct Outcome {
  int status;
  std::string output;  // standard output
  std::string errors;  // standard error
};

Outcome rawconv(const vz::test::ScratchFolder& scratch, const std::string& arguments) {
  Outcome outcome;
  const std::string errors = scratch / "stderr.txt";
  outcome.status =
      vz::test::runCommand(kRawconv + " " + arguments + " 2>" + errors, &outcome.output);
  const std::vector<uint8_t> bytes = vz::test::readFileBytes(errors);
  outcome.errors.assign(bytes.begin(), bytes.end());
  return outcome;
}

// The decoded WAV's samples, +-1 full scale, after checking that it is one.
std::vector<float> readDecoded(const std::string& path, int expectedRate) {
  const std::vector<uint8_t> file = vz::test::readFileBytes(path);
  MonoSound sound;
  EXPECT_TRUE(readWavMono(file.data(), file.size(), sound).ok());
  EXPECT_EQ(sound.sampleRate, expectedRate);
  return sound.samples;
}

struct SineMeasure {
  double frequency;
  double amplitude;
  double snrDb;
};

// Fits the known frequency to the middle of the sound, and to its two halves apart: the
// phase that the second half gains over the first tells how far the frequency is off.
SineMeasure measureSine(const std::vector<float>& samples, double frequency, double rate) {
  const size_t first = samples.size() / 8, last = samples.size() * 7 / 8;
  const size_t middle = (first + last) / 2;
  const test::SineFit whole = test::fitSine(samples, first, last, frequency, rate);
  const test::SineFit early = test::fitSine(samples, first, middle, frequency, rate);
  const test::SineFit late = test::fitSine(samples, middle, last, frequency, rate);
  const double apart = static_cast<double>(middle - first) / rate;
  const double turned = std::remainder(late.phase - early.phase, 2 * test::kPi);
  return {frequency + turned / (2 * test::kPi * apart), whole.amplitude,
          test::decibels(whole.amplitude * whole.amplitude / 2 / whole.residualPower)};
}

// A 440 Hz sine through encoding and decoding keeps its frequency and level; the noise
// that 4 bits add stays within what each dither allows. A full-scale sine is one that
// --normalize brings to the 4-bit peak of 7/8 (levels 1 to 15).
TEST(RawconvRoundTrip, SineKeepsFrequencyLevelAndSnr) {
  const vz::test::ScratchFolder scratch;
  const std::string wav = scratch / "in.wav", raw = scratch / "out.raw",
                    back = scratch / "back.wav";
  struct Case {
    const char* options;
    double inputAmplitude;
    double expectedAmplitude;
    double minimumSnrDb;
  };
  const Case cases[] = {
      {"--dither none --normalize", 1.0, 7.0 / 8, 23},
      {"--dither tpdf --normalize", 1.0, 7.0 / 8, 17},
      {"--normalize", 1.0, 7.0 / 8, 17},  // tpdf is the default
      {"--dither shaped --normalize", 1.0, 7.0 / 8, 12},
      {"--dither tpdf", 0.5, 0.5, 13},
      {"--dither none --gain -6.0206", 1.0, 0.5, 17},
      {"--dither tpdf --gain 6.0206", 0.25, 0.5, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const auto samples = test::sine(440, 44100, 44100, c.inputAmplitude * 32767 / 32768);
    ASSERT_TRUE(vz::test::writeFileBytes(
        wav, test::makeWav({1, 1, 1, 44100, 16}, test::monoFrames(samples))));
    ASSERT_EQ(rawconv(scratch, wav + " " + raw + " " + c.options).status, 0);
    ASSERT_EQ(rawconv(scratch, raw + " " + back).status, 0);
    const SineMeasure measure = measureSine(readDecoded(back, 8138), 440, 8138);
    EXPECT_NEAR(measure.frequency, 440, 0.05);
    EXPECT_NEAR(20 * std::log10(measure.amplitude / c.expectedAmplitude), 0, 0.2);
    EXPECT_GE(measure.snrDb, c.minimumSnrDb);
    std::printf("%-30s SNR %.2f dB, %.3f Hz, level %.3f dB\n", c.options, measure.snrDb,
                measure.frequency, 20 * std::log10(measure.amplitude / c.expectedAmplitude));
  }
}

void fourierTransform(std::vector<std::complex<double>>& values) {
  const size_t n = values.size();
  if (n < 2) return;
  std::vector<std::complex<double>> even(n / 2), odd(n / 2);
  for (size_t i = 0; i < n / 2; ++i) {
    even[i] = values[2 * i];
    odd[i] = values[2 * i + 1];
  }
  fourierTransform(even);
  fourierTransform(odd);
  for (size_t k = 0; k < n / 2; ++k) {
    const std::complex<double> turned = std::polar(1.0, -2 * test::kPi * k / n) * odd[k];
    values[k] = even[k] + turned;
    values[k + n / 2] = even[k] - turned;
  }
}

// The power of the noise below and above 2 kHz: what is left of the sound once the sine is
// taken out, through a Hann window.
std::pair<double, double> noiseBelowAndAbove2kHz(const std::vector<float>& samples, double rate) {
  const size_t count = 8192, first = (samples.size() - count) / 2;
  const test::SineFit fit = test::fitSine(samples, first, first + count, 440, rate);
  std::vector<std::complex<double>> residual(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = first + i;
    const double w = 2 * test::kPi * 440 * at / rate;
    const double window = 0.5 - 0.5 * std::cos(2 * test::kPi * i / count);
    residual[i] = window * (samples[at] - fit.amplitude * std::sin(w + fit.phase));
  }
  fourierTransform(residual);
  double below = 0, above = 0;
  for (size_t k = 1; k < count / 2; ++k)
    (k * rate / count < 2000 ? below : above) += std::norm(residual[k]);
  return {below, above};
}

// Shaped dither takes noise out of the band below 2 kHz and puts it above.
TEST(RawconvRoundTrip, ShapedDitherMovesTheNoiseAbove2kHz) {
  const vz::test::ScratchFolder scratch;
  const std::string wav = scratch / "in.wav", raw = scratch / "out.raw",
                    back = scratch / "back.wav";
  const auto samples = test::sine(440, 44100, 2 * 44100, 0.5);
  ASSERT_TRUE(vz::test::writeFileBytes(
      wav, test::makeWav({1, 1, 1, 44100, 16}, test::monoFrames(samples))));
  std::pair<double, double> noise[2];
  const char* const dithers[] = {"tpdf", "shaped"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(rawconv(scratch, wav + " " + raw + " --dither " + dithers[i]).status, 0);
    ASSERT_EQ(rawconv(scratch, raw + " " + back).status, 0);
    noise[i] = noiseBelowAndAbove2kHz(readDecoded(back, 8138), 8138);
  }
  const double lessBelow = test::decibels(noise[0].first / noise[1].first);
  const double moreAbove = test::decibels(noise[1].second / noise[0].second);
  std::printf("shaped against tpdf: %.2f dB less noise below 2 kHz, %.2f dB more above\n",
              lessBelow, moreAbove);
  EXPECT_GE(lessBelow, 3);
  EXPECT_GE(moreAbove, 3);
}

std::vector<uint8_t> rw4Header(int pitch) {
  return {'R',
          'W',
          '4',
          0,
          static_cast<uint8_t>(pitch),
          static_cast<uint8_t>(pitch >> 8),
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0,
          0};
}

// The header is byte for byte the RW4 header, and rawplay reads the pitch back from it.
TEST(RawconvEncoding, HeaderAndPitch) {
  const vz::test::ScratchFolder scratch;
  const std::string wav = scratch / "in.wav", raw = scratch / "out.raw";
  ASSERT_TRUE(vz::test::writeFileBytes(
      wav, test::makeWav({1, 1, 1, 44100, 16}, test::monoFrames(std::vector<double>(441)))));
  struct Case {
    const char* options;
    int pitch;
    int rate;
    size_t samples;
  };
  const Case cases[] = {
      {"", 4072, 8138, 81},
      {"--pitch 4072", 4072, 8138, 81},
      {"--pitch 0", 0, 47, 0},
      {"--pitch 4088", 4088, 24414, 244},
      {"--pitch 4095", 4095, 195312, 1953},
      {"--rate 8000", 4072, 8138, 81},
      {"--rate 44100", 4092, 48828, 488},
      {"--rate 1", 0, 47, 0},
      {"--rate 10000000", 4095, 195312, 1953},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const Outcome outcome = rawconv(scratch, wav + " " + raw + " " + c.options);
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.output, "pitch " + std::to_string(c.pitch) + ", rate " +
                                  std::to_string(c.rate) + " Hz, " + std::to_string(c.samples) +
                                  " samples\n");
    const std::vector<uint8_t> file = vz::test::readFileBytes(raw);
    ASSERT_EQ(file.size(), 16 + (c.samples + 1) / 2);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 16), rw4Header(c.pitch));
    EXPECT_EQ(rawplay::pitchOfHeader(file.data(), 16), c.pitch);
    EXPECT_EQ(rawplay::sampleRateOfPitch(c.pitch), c.rate);
  }
}

// Levels map as rawplay plays them (level s is 8-bit s * 16), and an odd count ends with
// the silent level 8 in the last low nibble.
TEST(RawconvEncoding, LevelsAndPadding) {
  const vz::test::ScratchFolder scratch;
  const std::string wav = scratch / "in.wav", raw = scratch / "out.raw";
  struct Case {
    double amplitude;
    uint8_t byte;
  };
  for (const Case c :
       {Case{0, 0x88}, Case{-0.5, 0x44}, Case{0.25, 0xAA}, Case{-1, 0x00}, Case{0.875, 0xFF}}) {
    SCOPED_TRACE(c.amplitude);
    // 201 samples at the pitch's own rate: the middle ones keep the constant level.
    ASSERT_TRUE(vz::test::writeFileBytes(
        wav, test::makeWav({1, 1, 1, 8138, 16},
                           test::monoFrames(std::vector<double>(201, c.amplitude)))));
    ASSERT_EQ(rawconv(scratch, wav + " " + raw + " --dither none").status, 0);
    const std::vector<uint8_t> file = vz::test::readFileBytes(raw);
    ASSERT_EQ(file.size(), 16u + 101);
    for (size_t i = 16 + 20; i < 16 + 80; ++i) ASSERT_EQ(file[i], c.byte) << "byte " << i;
    EXPECT_EQ(file.back() & 0x0F, 8);
  }
}

std::vector<uint8_t> wavHeader(int rate, size_t samples) {
  std::vector<uint8_t> header;
  test::appendTag(header, "RIFF");
  test::appendLe(header, 36 + samples, 4);
  test::appendTag(header, "WAVE");
  test::appendTag(header, "fmt ");
  for (const auto& [value, bytes] : std::vector<std::pair<uint64_t, int>>{
           {16, 4}, {1, 2}, {1, 2}, {rate, 4}, {rate, 4}, {1, 2}, {8, 2}})
    test::appendLe(header, value, bytes);
  test::appendTag(header, "data");
  test::appendLe(header, samples, 4);
  return header;
}

// Any file decodes as rawplay plays it: the pitch from "RW4" or else 4072, the first 16
// bytes never played, each nibble s an 8-bit sample s * 16. sox reads the result alike.
TEST(RawconvDecoding, AsRawplayPlays) {
  const vz::test::ScratchFolder scratch;
  const std::string in = scratch / "in.raw", out = scratch / "out.wav";
  auto rw4 = rw4Header(4088);
  rw4.insert(rw4.end(), {0x12, 0xF0});
  auto otherSignature = rw4;
  otherSignature[2] = '5';
  auto highBits = rw4Header(0xFFFF);
  highBits.push_back(0x7E);
  const std::string text = "Not a sound file at all";  // " at all" is played
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int pitch, rate;
    std::vector<uint8_t> samples;
  };
  const Case cases[] = {
      {"RW4", rw4, 4088, 24414, {0x10, 0x20, 0xF0, 0x00}},
      {"RW5", otherSignature, 4072, 8138, {0x10, 0x20, 0xF0, 0x00}},
      {"the top bits of the pitch word", highBits, 4095, 195312, {0x70, 0xE0}},
      {"text",
       std::vector<uint8_t>(text.begin(), text.end()),
       4072,
       8138,
       {0x20, 0x00, 0x60, 0x10, 0x70, 0x40, 0x20, 0x00, 0x60, 0x10, 0x60, 0xC0, 0x60, 0xC0}},
      {"a header too short for the pitch", {'R', 'W', '4', 0, 0xF8}, 4072, 8138, {}},
      {"a header only", rw4Header(4088), 4088, 24414, {}},
      {"empty", {}, 4072, 8138, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(vz::test::writeFileBytes(in, c.file));
    const Outcome outcome = rawconv(scratch, in + " " + out);
    ASSERT_EQ(outcome.status, 0) << outcome.errors;
    EXPECT_EQ(outcome.output, "pitch " + std::to_string(c.pitch) + ", rate " +
                                  std::to_string(c.rate) + " Hz, " +
                                  std::to_string(c.samples.size()) + " samples\n");
    std::vector<uint8_t> expected = wavHeader(c.rate, c.samples.size());
    expected.insert(expected.end(), c.samples.begin(), c.samples.end());
    EXPECT_EQ(vz::test::readFileBytes(out), expected);
    if (!vz::test::haveTool("sox") || c.samples.empty()) continue;
    std::string rate, samples;
    ASSERT_EQ(vz::test::runCommand("sox --i -r " + out, &rate), 0);
    EXPECT_EQ(rate, std::to_string(c.rate) + "\n");
    ASSERT_EQ(vz::test::runCommand("sox " + out + " -t u8 -", &samples), 0);
    EXPECT_EQ(samples, std::string(c.samples.begin(), c.samples.end()));
  }
}

TEST(Rawconv, ExitStatusesAndMessages) {
  const vz::test::ScratchFolder scratch;
  const std::string wav = scratch / "in.wav", raw = scratch / "in.raw", out = scratch / "out";
  ASSERT_TRUE(vz::test::writeFileBytes(
      wav, test::makeWav({1, 1, 1, 8000, 16}, test::monoFrames(test::sine(440, 8000, 800, 1.0)))));
  ASSERT_TRUE(vz::test::writeFileBytes(raw, rw4Header(4072)));
  std::vector<uint8_t> adpcm = vz::test::readFileBytes(wav);
  adpcm[20] = 2;
  ASSERT_TRUE(vz::test::writeFileBytes(scratch / "adpcm.wav", adpcm));
  std::vector<uint8_t> cut = vz::test::readFileBytes(wav);
  cut.resize(100);
  ASSERT_TRUE(vz::test::writeFileBytes(scratch / "cut.wav", cut));
  struct Case {
    std::string arguments;
    int status;
    std::string message;  // the start of standard error
  };
  const Case cases[] = {
      {"--help", 0, ""},
      {wav + " " + out + " --normalize", 0, ""},
      {wav + " " + out, 0, "rawconv: " + wav + ": 98 of 814 samples clipped\n"},
      {"", 2, "rawconv: an input and an output file are needed\n\nUsage:"},
      {wav, 2, "rawconv: an input and an output file are needed"},
      {wav + " " + out + " third", 2, "rawconv: too many files"},
      {wav + " " + out + " --loud", 2, "rawconv: unknown option: --loud"},
      {wav + " " + out + " --pitch", 2, "rawconv: --pitch: missing value"},
      {wav + " " + out + " --pitch 4096", 2, "rawconv: --pitch: expected a whole number, 0..4095"},
      {wav + " " + out + " --pitch -1", 2, "rawconv: --pitch: expected"},
      {wav + " " + out + " --rate 0", 2, "rawconv: --rate: expected"},
      {wav + " " + out + " --rate 8k", 2, "rawconv: --rate: expected"},
      {wav + " " + out + " --dither floyd", 2, "rawconv: --dither: expected none|tpdf|shaped"},
      {wav + " " + out + " --gain 101", 2, "rawconv: --gain: expected"},
      {wav + " " + out + " --gain loud", 2, "rawconv: --gain: expected"},
      {wav + " " + out + " --rate 8000 --pitch 4000", 2, "rawconv: --rate and --pitch exclude"},
      {wav + " " + out + " --gain 3 --normalize", 2, "rawconv: --gain and --normalize exclude"},
      {scratch / "missing.wav " + out, 1,
       "rawconv: " + (scratch / "missing.wav") + ": cannot be read\n"},
      {scratch.path() + " " + out, 1, "rawconv: " + scratch.path() + ": cannot be read\n"},
      {scratch / "adpcm.wav " + out, 1,
       "rawconv: " + (scratch / "adpcm.wav") + ": compressed WAVE (ADPCM)"},
      {scratch / "cut.wav " + out, 1,
       "rawconv: " + (scratch / "cut.wav") + ": data chunk runs past the end of the file\n"},
      {raw + " " + out + " --dither none", 1, "rawconv: " + raw + ": not a RIFF/WAVE file"},
      {wav + " " + scratch / "no/such/folder.raw --normalize", 3,
       "rawconv: " + (scratch / "no/such/folder.raw") + ": No such file or directory\n"},
      {raw + " " + scratch / "no/such/folder.wav", 3,
       "rawconv: " + (scratch / "no/such/folder.wav")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome outcome = rawconv(scratch, c.arguments);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.errors.substr(0, c.message.size()), c.message);
    if (c.message.empty()) {
      EXPECT_EQ(outcome.errors, "");
    }
  }
  EXPECT_EQ(rawconv(scratch, "--help").output.rfind("Usage: rawconv IN.wav OUT.raw", 0), 0u);
}

}  // namespace
}  // namespace sound
