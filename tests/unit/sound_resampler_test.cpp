#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "sound/resampler.h"
#include "tests/unit/sound_test_support.h"

namespace sound {
namespace {

struct ToneResult {
  double gainDb;      // of the tone itself, at its own frequency
  double residualDb;  // everything else the output holds, against the tone's input power
};

// Resamples a sine of amplitude 0.5 and measures the middle half of the output, away from
// the silence before and after.
ToneResult measureTone(double frequency, int inputRate, int outputRate, double seconds) {
  const auto count = static_cast<size_t>(seconds * inputRate);
  const std::vector<double> tone = test::sine(frequency, inputRate, count, 0.5);
  std::vector<float> output;
  EXPECT_TRUE(
      resample(std::vector<float>(tone.begin(), tone.end()), inputRate, outputRate, output).ok());
  const size_t first = output.size() / 4, last = output.size() * 3 / 4;
  const double inputPower = 0.125;
  if (frequency < outputRate / 2.0) {
    const test::SineFit fit = test::fitSine(output, first, last, frequency, outputRate);
    return {20 * std::log10(fit.amplitude / 0.5), test::decibels(fit.residualPower / inputPower)};
  }
  double power = 0;
  for (size_t i = first; i < last; ++i) power += static_cast<double>(output[i]) * output[i];
  return {-INFINITY, test::decibels(power / static_cast<double>(last - first) / inputPower)};
}

// A sweep of tones through each change of rate: the band to 0.4 of the lower rate passes
// within 0.5 dB with every alias and image at least 60 dB down, and from half the output
// rate up (downwards) nothing comes through above -60 dB.
TEST(Resampler, PassbandFlatStopBandDeep) {
  struct Case {
    int inputRate, outputRate;
    int tones;
    double seconds;
  };
  const Case cases[] = {
      {44100, 8138, 60, 0.25},   // the usual encoding
      {48000, 24414, 40, 0.1},   // a smaller step down
      {768000, 8138, 12, 0.05},  // the largest step down
      {8000, 8138, 30, 0.25},    // slightly up
      {11025, 48828, 30, 0.1},   // far up
      {8138, 8138, 30, 0.25},    // the same rate
  };
  double worstRipple = 0, worstStop = -INFINITY, worstAlias = -INFINITY;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.inputRate) + " Hz to " + std::to_string(c.outputRate) + " Hz");
    const double lower = std::min(c.inputRate, c.outputRate);
    for (int i = 0; i < c.tones; ++i) {
      const double frequency = 0.4 * lower * (i + 0.5) / c.tones;
      const ToneResult result = measureTone(frequency, c.inputRate, c.outputRate, c.seconds);
      EXPECT_LE(std::fabs(result.gainDb), 0.5) << frequency << " Hz";
      EXPECT_LE(result.residualDb, -60) << frequency << " Hz";
      worstRipple = std::max(worstRipple, std::fabs(result.gainDb));
      worstAlias = std::max(worstAlias, result.residualDb);
    }
    if (c.inputRate <= c.outputRate) continue;
    const double nyquist = c.inputRate / 2.0, stopStart = c.outputRate / 2.0;
    for (int i = 0; i < c.tones; ++i) {
      const double frequency = stopStart + (nyquist - stopStart) * i / c.tones;
      const ToneResult result = measureTone(frequency, c.inputRate, c.outputRate, c.seconds);
      EXPECT_LE(result.residualDb, -60) << frequency << " Hz";
      worstStop = std::max(worstStop, result.residualDb);
    }
  }
  std::printf("passband ripple %.4f dB, aliases and images %.1f dB, stop band %.1f dB\n",
              worstRipple, worstAlias, worstStop);
}

// A constant stays that constant wherever the kernel lies wholly inside the sound, and the
// sound keeps its length at the new rate.
TEST(Resampler, KeepsConstantsAndLength) {
  struct Case {
    int inputRate, outputRate;
    size_t count, expected;
  };
  const Case cases[] = {
      {44100, 8138, 44100, 8138}, {8000, 8138, 8000, 8138}, {1, 195312, 3, 585936},
      {768000, 47, 768000, 47},   {44100, 8138, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.inputRate) + " Hz to " + std::to_string(c.outputRate) + " Hz");
    std::vector<float> output;
    ASSERT_TRUE(
        resample(std::vector<float>(c.count, 0.375f), c.inputRate, c.outputRate, output).ok());
    ASSERT_EQ(output.size(), c.expected);
    // The kernel reaches 22 periods of the lower rate to either side.
    const size_t reach = 25 * std::max<size_t>(1, static_cast<size_t>(c.outputRate / c.inputRate));
    for (size_t i = reach; i + reach < output.size(); ++i)
      ASSERT_NEAR(output[i], 0.375f, 1e-5) << "sample " << i;
  }
  std::vector<float> output;
  EXPECT_EQ(resample(std::vector<float>(10000), 1, 195312, output).code(),
            vz::StatusCode::kTooLarge);
  EXPECT_TRUE(output.empty());
}

}  // namespace
}  // namespace sound
