// How close a converted picture looks to its original on the screen. Both are taken to
// linear light as the window shows them (each pixel zoomX x zoomY times), blurred a
// little as the eye blends neighbouring dots from a viewing distance (a Gaussian of
// sigma 1 screen pixel, radius 4, edges mirrored: ... c b a | a b c ...), taken to
// CIELAB under D65 and compared pixel by pixel with CIEDE2000 (kL = kC = kH = 1); the
// error is the mean difference.
//
// The choices made from these numbers must be the same on every machine, and a
// library's exp, sin or cube root need not round alike everywhere. So the curves here
// are computed with +, -, *, / and square roots alone (which IEEE arithmetic rounds
// exactly), and sums run in a fixed order whatever the number of threads.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "converter/model/document.h"

namespace vz {

// The positive root of the given degree (2..8) of a value >= 0.
double portableRoot(double value, int degree);
// e to the power x, for x <= 0.
double portableExpOfNegative(double x);
double portableSinOfDegrees(double degrees);
double portableCosOfDegrees(double degrees);
// The angle of (x, y) in degrees, 0 <= angle < 360; 0 for (0, 0).
double portableAngleOfDegrees(double y, double x);

// The linear light of each sRGB byte, 0..1.
const std::array<double, 256>& linearOfByteTable();

// A picture in linear light: red, green and blue per pixel, rows top first.
struct LinearPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<float> values;

  float* at(int32_t x, int32_t y) {
    return values.data() + 3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + x);
  }
  const float* at(int32_t x, int32_t y) const {
    return values.data() + 3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + x);
  }
};

// The document as the window shows it, in linear light: true colour, and every indexed
// mode (1, 4 and 8 bits) through its palette. False, with `shown` empty, when the
// document holds no readable picture or the memory cannot be had.
bool shownLinearPicture(const ImageDocument& doc, int zoomX, int zoomY, LinearPicture& shown);

// The eye's blur: the Gaussian of sigma 1 pixel, radius 4, in each direction, edges
// mirrored. False when the memory cannot be had.
constexpr int kEyeRadius = 4;
const std::array<float, 2 * kEyeRadius + 1>& eyeWeights();
bool blurAsTheEyeSees(const LinearPicture& picture, LinearPicture& blurred, int threads);

// An index outside 0..size - 1 mirrored back inside: -1 -> 0, size -> size - 1.
int32_t mirroredIndex(int32_t i, int32_t size);

struct Lab {
  double lightness, a, b;
};
// Linear sRGB (D65) to CIELAB with the D65 white.
Lab labOfLinear(double red, double green, double blue);
// The CIEDE2000 difference, kL = kC = kH = 1.
double ciede2000(const Lab& first, const Lab& second);

// How far small changes of a colour look: the rows turn a change of linear red, green
// and blue into its lightness, chroma and hue differences, each divided by CIEDE2000's
// weight for this colour, so that the length of scale x change is close to the
// CIEDE2000 difference the change makes.
struct LocalColourScale {
  std::array<std::array<float, 3>, 3> rows;
};
LocalColourScale localColourScale(double red, double green, double blue);

// A colour's CIEDE2000 difference from a reference as a vector, and how it changes with
// the colour: the lightness difference and the difference in the (stretched) a, b plane
// turned to the reference's hue (chroma along it, hue across it), each divided by
// CIEDE2000's weight for the pair (the hue's taken at the reference's hue). Its length is close to
// the CIEDE2000 difference (the rotation term left out); the jacobian's rows turn a change of the
// colour's linear red, green and blue into the change of each part.
struct DifferenceModel {
  std::array<float, 3> residual;
  std::array<std::array<float, 3>, 3> jacobian;
};
DifferenceModel differenceFrom(const Lab& reference, double red, double green, double blue);

// The mean blurred CIEDE2000 difference from one original, which it prepares once for
// the many results compared with it.
class PerceptualErrorMeter {
 public:
  // The original as shown. False when the memory cannot be had.
  bool prepare(const LinearPicture& original, int threads);
  // The mean difference of a result the size of the original; -1 when the sizes differ
  // or the memory cannot be had.
  double meanDifference(const LinearPicture& result, int threads) const;
  // The original blurred, as the eye sees it, and its colours in CIELAB.
  const LinearPicture& blurredOriginal() const { return blurredOriginal_; }
  const std::vector<Lab>& originalLab() const { return originalLab_; }

 private:
  LinearPicture blurredOriginal_;
  std::vector<Lab> originalLab_;
};

}  // namespace vz
