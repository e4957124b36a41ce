#include "sound/quantiser.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kShapedBand = 2000;          // Hz: the noise is moved above this
constexpr double kLargestFedBackError = 1.5;  // steps: TPDF never errs more unless clipped
constexpr uint64_t kDitherSeed = 0x9E3779B97F4A7C15ull;

// xorshift64*: a fixed sequence of uniform values in [-0.5, 0.5).
class UniformNoise {
 public:
  double next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const uint64_t value = state_ * 0x2545F4914F6CDD1Dull;
    return static_cast<double>(value >> 11) * (1.0 / 9007199254740992.0) - 0.5;
  }

 private:
  uint64_t state_ = kDitherSeed;
};

// The noise transfer 1 - 2 cos(w0) z^-1 + z^-2: a double zero at w0, where
// cos(w0) = sin(wB) / wB puts the least noise power into the band 0..wB.
double shapingCosine(int sampleRate) {
  const double band = 2 * kPi * kShapedBand / sampleRate;
  return std::sin(band) / band;
}

}  // namespace

double peakOf(const std::vector<float>& samples) {
  double peak = 0;
  for (const float sample : samples) peak = std::max(peak, static_cast<double>(std::fabs(sample)));
  return peak;
}

double normalizingFactor(const std::vector<float>& samples) {
  const double peak = peakOf(samples);
  return peak > 0 ? kHighestAmplitude / peak : 1.0;
}

void scaleSamples(std::vector<float>& samples, double factor) {
  for (float& sample : samples) sample = static_cast<float>(sample * factor);
}

std::vector<uint8_t> quantise(const std::vector<float>& samples, int sampleRate, Dither dither,
                              size_t& clipped) {
  clipped = 0;
  const bool shaped = dither == Dither::kShaped && sampleRate > 2 * kShapedBand;
  const double feedback1 = shaped ? -2 * shapingCosine(sampleRate) : 0;
  const double feedback2 = shaped ? 1 : 0;
  UniformNoise noise;
  double error1 = 0, error2 = 0;  // the last two errors, in steps
  std::vector<uint8_t> levels(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    // Within half a step of the range, rounding alone would reach a level: no clip.
    const double exact = kSilentLevel + 8.0 * samples[i];
    if (exact < -0.5 || exact >= 15.5) ++clipped;
    const double amplitude =
        std::clamp(static_cast<double>(samples[i]), kLowestAmplitude, kHighestAmplitude);
    const double wanted = kSilentLevel + 8 * amplitude + feedback1 * error1 + feedback2 * error2;
    const double offset = dither == Dither::kNone ? 0 : noise.next() + noise.next();
    const double level = std::clamp(std::floor(wanted + offset + 0.5), 0.0, 15.0);
    error2 = error1;
    error1 = std::clamp(level - wanted, -kLargestFedBackError, kLargestFedBackError);
    levels[i] = static_cast<uint8_t>(level);
  }
  return levels;
}

}  // namespace sound
