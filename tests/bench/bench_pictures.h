// Generated true-colour pictures for the dithering benchmarks, the same on every run.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "converter/model/document.h"

namespace bench {

inline uint8_t toByte(double value) {
  return static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, value))));
}

inline void setPixel(vz::ImageDocument& doc, int32_t x, int32_t y, double red, double green,
                     double blue) {
  uint8_t* pixel = doc.row(y) + 3 * x;
  pixel[0] = toByte(blue);
  pixel[1] = toByte(green);
  pixel[2] = toByte(red);
}

// Every hue from left to right, from white at the top through the full colour in the
// middle to black at the bottom.
inline vz::ImageDocument colourGradient(int32_t width, int32_t height) {
  vz::ImageDocument doc;
  vz::allocatePicture(doc, width, height, vz::ColourMode::kTrueColour);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double hue = 6.0 * x / width;
      double rgb[3];
      for (int c = 0; c < 3; ++c) {
        // Red peaks at hue 0, green at 2, blue at 4.
        const double distance = std::fabs(std::fmod(hue - 2 * c + 9, 6) - 3);
        rgb[c] = std::fmin(1, std::fmax(0, 2 - distance));
      }
      const double v = 2.0 * y / (height - 1);
      for (double& channel : rgb) channel = v <= 1 ? 1 - v * (1 - channel) : channel * (2 - v);
      setPixel(doc, x, y, 255 * rgb[0], 255 * rgb[1], 255 * rgb[2]);
    }
  return doc;
}

// The classic plasma: a sum of sine waves through a cyclic colour ramp; `noise` adds
// uniform sensor-like noise of that many levels either way.
inline vz::ImageDocument plasma(int32_t width, int32_t height, int noise = 0) {
  vz::ImageDocument doc;
  vz::allocatePicture(doc, width, height, vz::ColourMode::kTrueColour);
  const double scale = 256.0 / width;
  std::mt19937 random(2024);
  const auto jitter = [&] {
    return noise == 0 ? 0 : static_cast<int>(random() % (2 * noise + 1)) - noise;
  };
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double u = x * scale, v = y * scale;
      const double value = std::sin(u / 16) + std::sin(v / 8) + std::sin((u + v) / 16) +
                           std::sin(std::hypot(u - 128, v - 120) / 8);
      const double phase = 3.14159265358979 * value / 2;
      setPixel(doc, x, y, 128 + 127 * std::sin(phase) + jitter(),
               128 + 127 * std::sin(phase + 2.0943951) + jitter(),
               128 + 127 * std::sin(phase + 4.1887902) + jitter());
    }
  return doc;
}

}  // namespace bench
