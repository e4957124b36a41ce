#include "sound/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace sound {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCutoff = 0.45;          // of the lower rate: the -6 dB point
constexpr double kTransition = 0.1;       // of the lower rate: flat to 0.40, stopped from 0.50
constexpr double kDesignDb = 70;          // the Kaiser design's attenuation, with room below it
constexpr double kPointsPerPeriod = 512;  // kernel phases per period of the lower rate
constexpr size_t kLanes = 8;              // taps per step of the dot products

// The modified Bessel function of order 0, by its power series.
double besselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; term > 1e-12 * sum; ++k) {
    const double factor = x / (2 * k);
    term *= factor * factor;
    sum += term;
  }
  return sum;
}

// The low-pass sampled at phases 0..phases (the last is phase 0 one tap on), each row of
// `taps` values, so that every output instant lies between two neighbouring rows.
struct Kernel {
  size_t taps = 0;
  size_t phases = 0;
  std::vector<float> rows;
  const float* row(size_t phase) const { return rows.data() + phase * taps; }
};

Kernel makeKernel(int inputRate, int outputRate) {
  // Lengths are in input samples; `stretch` of them make one period of the lower rate.
  const double stretch = static_cast<double>(inputRate) / std::min(inputRate, outputRate);
  const double beta = 0.1102 * (kDesignDb - 8.7);
  const double halfWidth = (kDesignDb - 8) / (2.285 * 2 * kPi * kTransition) / 2 * stretch;
  const double cutoff = kCutoff / stretch;  // cycles per input sample
  Kernel kernel;
  kernel.taps = (2 * static_cast<size_t>(std::ceil(halfWidth)) + 2 + kLanes - 1) / kLanes * kLanes;
  kernel.phases = static_cast<size_t>(std::max(1.0, std::ceil(kPointsPerPeriod / stretch)));
  kernel.rows.assign((kernel.phases + 1) * kernel.taps, 0.0f);
  const double centre = static_cast<double>(kernel.taps / 2 - 1);
  const double windowScale = 1 / besselI0(beta);
  std::vector<double> values(kernel.taps);
  for (size_t phase = 0; phase <= kernel.phases; ++phase) {
    double sum = 0;
    for (size_t tap = 0; tap < kernel.taps; ++tap) {
      const double distance = static_cast<double>(tap) - centre -
                              static_cast<double>(phase) / static_cast<double>(kernel.phases);
      const double u = distance / halfWidth;
      double value = 0;
      if (std::fabs(u) < 1) {
        const double x = 2 * cutoff * distance;
        const double sinc = x == 0 ? 1 : std::sin(kPi * x) / (kPi * x);
        value = 2 * cutoff * sinc * besselI0(beta * std::sqrt(1 - u * u)) * windowScale;
      }
      values[tap] = value;
      sum += value;
    }
    float* row = kernel.rows.data() + phase * kernel.taps;
    for (size_t tap = 0; tap < kernel.taps; ++tap) row[tap] = static_cast<float>(values[tap] / sum);
  }
  return kernel;
}

// Four floats worked on at once (the compiler's vector extension: SSE2 on x86).
typedef float Lanes __attribute__((vector_size(16)));

Lanes loadLanes(const float* at) {
  Lanes lanes;
  std::memcpy(&lanes, at, sizeof lanes);
  return lanes;
}

float sumOfLanes(Lanes lanes) {
  return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

// The samples against two neighbouring rows, mixed by `weight` (0 gives the first row's).
float interpolatedDot(const float* samples, const float* first, const float* second, size_t taps,
                      float weight) {
  Lanes a0 = {}, a1 = {}, b0 = {}, b1 = {};
  for (size_t tap = 0; tap < taps; tap += kLanes) {
    const Lanes x0 = loadLanes(samples + tap), x1 = loadLanes(samples + tap + 4);
    a0 += x0 * loadLanes(first + tap);
    a1 += x1 * loadLanes(first + tap + 4);
    b0 += x0 * loadLanes(second + tap);
    b1 += x1 * loadLanes(second + tap + 4);
  }
  const float a = sumOfLanes(a0 + a1), b = sumOfLanes(b0 + b1);
  return a + weight * (b - a);
}

}  // namespace

size_t resampledCount(size_t count, int inputRate, int outputRate) {
  const double exact = static_cast<double>(count) * outputRate / inputRate;
  return exact >= static_cast<double>(kMaxResampledSamples) + 1
             ? kMaxResampledSamples + 1
             : static_cast<size_t>(std::floor(exact + 0.5));
}

vz::Status resample(const std::vector<float>& input, int inputRate, int outputRate,
                    std::vector<float>& output) {
  output.clear();
  const size_t count = resampledCount(input.size(), inputRate, outputRate);
  if (count > kMaxResampledSamples)
    return {vz::StatusCode::kTooLarge, "the sound would be too long at this rate"};
  try {
    const Kernel kernel = makeKernel(inputRate, outputRate);
    output.assign(count, 0.0f);
    std::vector<float> window(kernel.taps);
    const double step = static_cast<double>(inputRate) / outputRate;
    const ptrdiff_t before = static_cast<ptrdiff_t>(kernel.taps / 2 - 1);
    const ptrdiff_t length = static_cast<ptrdiff_t>(input.size());
    for (size_t n = 0; n < count; ++n) {
      const double instant = static_cast<double>(n) * step;
      const double whole = std::floor(instant);
      const double position = (instant - whole) * static_cast<double>(kernel.phases);
      const size_t phase = std::min(static_cast<size_t>(position), kernel.phases - 1);
      const float weight = static_cast<float>(position - static_cast<double>(phase));
      const ptrdiff_t first = static_cast<ptrdiff_t>(whole) - before;
      const float* samples = window.data();
      if (first >= 0 && first + static_cast<ptrdiff_t>(kernel.taps) <= length) {
        samples = input.data() + first;
      } else {
        // Near the ends: the samples that exist, zeros for the rest.
        for (size_t tap = 0; tap < kernel.taps; ++tap) {
          const ptrdiff_t at = first + static_cast<ptrdiff_t>(tap);
          window[tap] = at >= 0 && at < length ? input[static_cast<size_t>(at)] : 0.0f;
        }
      }
      output[n] =
          interpolatedDot(samples, kernel.row(phase), kernel.row(phase + 1), kernel.taps, weight);
    }
  } catch (const std::bad_alloc&) {
    output.clear();
    return vz::StatusCode::kOutOfMemory;
  }
  return vz::StatusCode::kOk;
}

}  // namespace sound
