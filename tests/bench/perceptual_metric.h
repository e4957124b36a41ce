// How close a converted picture looks to its original: both are blurred a little in
// linear light (as the eye blends neighbouring dots from a viewing distance), taken to
// CIELAB, and compared pixel by pixel with CIEDE2000; the score is the mean difference.
//   sRGB to linear; Gaussian of sigma 1 pixel, radius 4, edges mirrored (the row
//   ... c b a | a b c ...); linear RGB to XYZ to CIELAB under D65; CIEDE2000 with
//   kL = kC = kH = 1.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace metric {

struct Lab {
  double lightness, a, b;
};

// CIEDE2000 colour difference, kL = kC = kH = 1 (Sharma, Wu and Dalal's formulation,
// which their published test pairs check).
inline double ciede2000(const Lab& first, const Lab& second) {
  const double pi = 3.14159265358979323846;
  const auto degrees = [&](double angle) { return angle * 180 / pi; };
  const auto radians = [&](double angle) { return angle * pi / 180; };
  const double pow25To7 = 6103515625.0;  // 25^7

  const double c1 = std::hypot(first.a, first.b), c2 = std::hypot(second.a, second.b);
  const double meanC = (c1 + c2) / 2;
  const double meanC7 = std::pow(meanC, 7);
  const double g = 0.5 * (1 - std::sqrt(meanC7 / (meanC7 + pow25To7)));
  const double a1 = (1 + g) * first.a, a2 = (1 + g) * second.a;
  const double cp1 = std::hypot(a1, first.b), cp2 = std::hypot(a2, second.b);
  const auto hueOf = [&](double b, double a) {
    if (a == 0 && b == 0) return 0.0;
    const double h = degrees(std::atan2(b, a));
    return h < 0 ? h + 360 : h;
  };
  const double h1 = hueOf(first.b, a1), h2 = hueOf(second.b, a2);

  const double deltaL = second.lightness - first.lightness;
  const double deltaC = cp2 - cp1;
  double deltaHue = 0;
  if (cp1 * cp2 != 0) {
    deltaHue = h2 - h1;
    if (deltaHue > 180)
      deltaHue -= 360;
    else if (deltaHue < -180)
      deltaHue += 360;
  }
  const double deltaH = 2 * std::sqrt(cp1 * cp2) * std::sin(radians(deltaHue / 2));

  const double meanL = (first.lightness + second.lightness) / 2;
  const double meanCp = (cp1 + cp2) / 2;
  double meanH = h1 + h2;
  if (cp1 * cp2 != 0) {
    if (std::fabs(h1 - h2) <= 180)
      meanH = (h1 + h2) / 2;
    else
      meanH = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
  }
  const double t = 1 - 0.17 * std::cos(radians(meanH - 30)) + 0.24 * std::cos(radians(2 * meanH)) +
                   0.32 * std::cos(radians(3 * meanH + 6)) -
                   0.20 * std::cos(radians(4 * meanH - 63));
  const double deltaTheta = 30 * std::exp(-std::pow((meanH - 275) / 25, 2));
  const double meanCp7 = std::pow(meanCp, 7);
  const double rc = 2 * std::sqrt(meanCp7 / (meanCp7 + pow25To7));
  const double lightnessOffset = (meanL - 50) * (meanL - 50);
  const double sl = 1 + 0.015 * lightnessOffset / std::sqrt(20 + lightnessOffset);
  const double sc = 1 + 0.045 * meanCp;
  const double sh = 1 + 0.015 * meanCp * t;
  const double rt = -std::sin(radians(2 * deltaTheta)) * rc;
  const double l = deltaL / sl, c = deltaC / sc, h = deltaH / sh;
  return std::sqrt(l * l + c * c + h * h + rt * c * h);
}

inline double linearOfSrgb(uint8_t value) {
  const double v = value / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Linear sRGB (D65) to CIELAB with the D65 white.
inline Lab labOfLinear(double red, double green, double blue) {
  const double x = 0.4124564 * red + 0.3575761 * green + 0.1804375 * blue;
  const double y = 0.2126729 * red + 0.7151522 * green + 0.0721750 * blue;
  const double z = 0.0193339 * red + 0.1191920 * green + 0.9503041 * blue;
  const auto f = [](double t) {
    const double delta = 6.0 / 29;
    return t > delta * delta * delta ? std::cbrt(t) : t / (3 * delta * delta) + 4.0 / 29;
  };
  const double fx = f(x / 0.95047), fy = f(y / 1.0), fz = f(z / 1.08883);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

// An sRGB picture, red, green, blue bytes per pixel, rows top first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

// Mirrors an index outside 0..size-1 back inside: -1 -> 0, size -> size - 1.
inline int mirrored(int i, int size) {
  while (i < 0 || i >= size) i = i < 0 ? -i - 1 : 2 * size - i - 1;
  return i;
}

// The picture in linear light, blurred; three doubles per pixel.
inline std::vector<double> blurredLinear(const Picture& picture) {
  constexpr int kRadius = 4;
  double weights[2 * kRadius + 1];
  double sum = 0;
  for (int i = -kRadius; i <= kRadius; ++i) sum += weights[i + kRadius] = std::exp(-i * i / 2.0);
  for (double& w : weights) w /= sum;

  const int width = picture.width, height = picture.height;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<double> linear(3 * count), across(3 * count), blurred(3 * count);
  for (size_t i = 0; i < 3 * count; ++i) linear[i] = linearOfSrgb(picture.rgb[i]);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        double total = 0;
        for (int k = -kRadius; k <= kRadius; ++k)
          total += weights[k + kRadius] *
                   linear[3 * (static_cast<size_t>(y) * width + mirrored(x + k, width)) + c];
        across[3 * (static_cast<size_t>(y) * width + x) + c] = total;
      }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        double total = 0;
        for (int k = -kRadius; k <= kRadius; ++k)
          total += weights[k + kRadius] *
                   across[3 * (static_cast<size_t>(mirrored(y + k, height)) * width + x) + c];
        blurred[3 * (static_cast<size_t>(y) * width + x) + c] = total;
      }
  return blurred;
}

// The mean blurred CIEDE2000 difference of two pictures of the same size.
inline double meanBlurredDifference(const Picture& original, const Picture& result) {
  const std::vector<double> first = blurredLinear(original), second = blurredLinear(result);
  double total = 0;
  for (size_t i = 0; i < first.size(); i += 3)
    total += ciede2000(labOfLinear(first[i], first[i + 1], first[i + 2]),
                       labOfLinear(second[i], second[i + 1], second[i + 2]));
  return total / static_cast<double>(first.size() / 3);
}

}  // namespace metric
