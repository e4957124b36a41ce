// Levels and 4-bit samples. Sample s (0..15) plays as s * 16 on an unsigned 8-bit device,
// so it stands for the amplitude (s - 8) / 8 of full scale: 8 is silence, and the range
// reaches from -1 (level 0) to +7/8 (level 15).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sound {

constexpr int kSilentLevel = 8;
constexpr double kLowestAmplitude = -1.0;
constexpr double kHighestAmplitude = 7.0 / 8;

enum class Dither {
  kNone,    // plain rounding
  kTpdf,    // triangular dither of +-1 step, then rounding
  kShaped,  // kTpdf inside an error feedback that moves the noise above 2 kHz
};

// The largest magnitude among the samples (0 for none).
double peakOf(const std::vector<float>& samples);

// The factor that brings the peak to kHighestAmplitude, the largest that both polarities
// reach; 1 for silence.
double normalizingFactor(const std::vector<float>& samples);

void scaleSamples(std::vector<float>& samples, double factor);

// Rounds each sample to a 4-bit level, with the dither given; samples outside the range
// are clipped to it first, and those more than half a step beyond it are counted in
// `clipped`. The rate places the noise shaping;
// below 4 kHz, where no band above 2 kHz exists, kShaped dithers as kTpdf. The dither is
// the same for every run.
std::vector<uint8_t> quantise(const std::vector<float>& samples, int sampleRate, Dither dither,
                              size_t& clipped);

}  // namespace sound
