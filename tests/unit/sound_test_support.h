// Helpers of the sound tests: WAV files built field by field, sines, and measuring a sine
// in a signal by least squares.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sound::test {

constexpr double kPi = 3.14159265358979323846;

inline void appendLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void appendTag(std::vector<uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

inline void appendChunk(std::vector<uint8_t>& out, const char* tag,
                        const std::vector<uint8_t>& body) {
  appendTag(out, tag);
  appendLe(out, body.size(), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2) out.push_back(0);
}

struct WavShape {
  int formatTag = 1;  // 1 PCM, 3 float, 0xFFFE extensible
  int subFormat = 1;  // of an extensible file
  int channels = 1;
  int rate = 44100;
  int bits = 16;
};

inline std::vector<uint8_t> formatChunk(const WavShape& shape) {
  std::vector<uint8_t> body;
  const int blockAlign = shape.channels * ((shape.bits + 7) / 8);
  appendLe(body, shape.formatTag, 2);
  appendLe(body, shape.channels, 2);
  appendLe(body, shape.rate, 4);
  appendLe(body, static_cast<uint64_t>(shape.rate) * blockAlign, 4);
  appendLe(body, blockAlign, 2);
  appendLe(body, shape.bits, 2);
  if (shape.formatTag == 0xFFFE) {
    appendLe(body, 22, 2);
    appendLe(body, shape.bits, 2);
    appendLe(body, 0, 4);
    appendLe(body, shape.subFormat, 4);
    const uint8_t tail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                              0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.insert(body.end(), tail, tail + 12);
  }
  return body;
}

// One sample in the file's encoding, from an amplitude of full scale (within +-1).
inline void appendSample(std::vector<uint8_t>& out, const WavShape& shape, double amplitude) {
  const bool isFloat = shape.formatTag == 3 || (shape.formatTag == 0xFFFE && shape.subFormat == 3);
  if (isFloat && shape.bits == 32) {
    const float value = static_cast<float>(amplitude);
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    appendLe(out, bits, 4);
  } else if (isFloat) {
    uint64_t bits;
    std::memcpy(&bits, &amplitude, 8);
    appendLe(out, bits, 8);
  } else {
    // Full scale is 2^(n-1), as the reader takes it, so that multiples of 1/128 stay exact.
    const int bytes = (shape.bits + 7) / 8;
    const double scale = std::ldexp(1.0, 8 * bytes - 1);
    const double value = std::clamp(std::round(amplitude * scale), -scale, scale - 1);
    appendLe(out, static_cast<uint64_t>(static_cast<int64_t>(value) + (bytes == 1 ? 128 : 0)),
             bytes);
  }
}

// A whole WAV file: frames[f][c] is channel c of frame f.
inline std::vector<uint8_t> makeWav(const WavShape& shape,
                                    const std::vector<std::vector<double>>& frames) {
  std::vector<uint8_t> data;
  for (const auto& frame : frames)
    for (double amplitude : frame) appendSample(data, shape, amplitude);
  std::vector<uint8_t> body;
  appendTag(body, "WAVE");
  appendChunk(body, "fmt ", formatChunk(shape));
  appendChunk(body, "data", data);
  std::vector<uint8_t> file;
  appendChunk(file, "RIFF", body);
  return file;
}

inline std::vector<double> sine(double frequency, double rate, size_t count, double amplitude) {
  std::vector<double> samples(count);
  for (size_t i = 0; i < count; ++i)
    samples[i] = amplitude * std::sin(2 * kPi * frequency * i / rate);
  return samples;
}

inline std::vector<std::vector<double>> monoFrames(const std::vector<double>& samples) {
  std::vector<std::vector<double>> frames;
  for (double sample : samples) frames.push_back({sample});
  return frames;
}

// The sine of a known frequency that best fits samples[first, last), with a constant.
struct SineFit {
  double amplitude = 0;
  double phase = 0;          // at sample 0, in radians
  double residualPower = 0;  // mean square of what the fit leaves
};

template <typename Sample>
SineFit fitSine(const std::vector<Sample>& samples, size_t first, size_t last, double frequency,
                double rate) {
  // Least squares over cos, sin and 1: the 3 x 3 normal equations, by Cramer's rule.
  double m[3][3] = {}, v[3] = {};
  for (size_t i = first; i < last; ++i) {
    const double w = 2 * kPi * frequency * i / rate;
    const double basis[3] = {std::cos(w), std::sin(w), 1.0};
    for (int r = 0; r < 3; ++r) {
      v[r] += basis[r] * samples[i];
      for (int c = 0; c < 3; ++c) m[r][c] += basis[r] * basis[c];
    }
  }
  const auto det = [](double a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  double coefficients[3];
  const double whole = det(m);
  for (int k = 0; k < 3; ++k) {
    double replaced[3][3];
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) replaced[r][c] = c == k ? v[r] : m[r][c];
    coefficients[k] = det(replaced) / whole;
  }
  SineFit fit;
  fit.amplitude = std::hypot(coefficients[0], coefficients[1]);
  fit.phase = std::atan2(coefficients[0], coefficients[1]);
  for (size_t i = first; i < last; ++i) {
    const double w = 2 * kPi * frequency * i / rate;
    const double error = samples[i] - (coefficients[0] * std::cos(w) +
                                       coefficients[1] * std::sin(w) + coefficients[2]);
    fit.residualPower += error * error;
  }
  fit.residualPower /= static_cast<double>(last - first);
  return fit;
}

inline double decibels(double powerRatio) {
  return 10 * std::log10(powerRatio);
}

}  // namespace sound::test
