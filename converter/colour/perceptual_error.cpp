#include "converter/colour/perceptual_error.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "converter/colour/conversion_support.h"

namespace vz {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180;

// sin and cos of |x| <= pi / 4 by their Taylor series, to below one part in 1e16.
double sinOfSmall(double x) {
  const double square = x * x;
  double sum = 0;
  for (int n = 15; n >= 3; n -= 2) sum = (sum + 1) * square / (-(n - 1.0) * n);
  return x * (sum + 1);
}

double cosOfSmall(double x) {
  const double square = x * x;
  double sum = 0;
  for (int n = 16; n >= 2; n -= 2) sum = (sum + 1) * square / (-(n - 1.0) * n);
  return sum + 1;
}

// The eighth of a turn nearest to the angle, and what is left of it in radians.
struct ReducedAngle {
  int quarter;     // 0..3
  double radians;  // -pi/4 .. pi/4
};

ReducedAngle reduced(double degrees) {
  double turn = std::fmod(degrees, 360.0);  // exact
  if (turn < 0) turn += 360;
  const double quarters = std::floor(turn / 90 + 0.5);
  return {static_cast<int>(quarters) & 3, (turn - 90 * quarters) * kRadiansPerDegree};
}

// atan of 0 <= t <= tan(15 degrees) by its series, in radians.
double atanOfSmall(double t) {
  const double square = t * t;
  double sum = 0;
  for (int n = 25; n >= 3; n -= 2) sum = (sum + 1.0 / n) * -square;
  return t * (sum + 1);
}

// The root of 2^-degree <= m < 1: from a first guess above it (or one below, whose
// first step lands above), Newton's steps fall towards it, each about doubling the
// correct digits, until one no longer lowers it.
double rootOfMantissa(double mantissa, int degree, double guess) {
  const auto newtonStep = [&](double root) {
    double power = 1;
    for (int i = 1; i < degree; ++i) power *= root;
    return ((degree - 1) * root + mantissa / power) / degree;
  };
  double root = newtonStep(guess);
  for (int step = 0; step < 64; ++step) {
    const double next = newtonStep(root);
    if (!(next < root)) break;
    root = next;
  }
  return root;
}

// The cube root of 1/8 <= m < 1: the root of the middle of one of 1024 steps, within
// 0.15 %, then three of Newton's steps, each about doubling the correct digits, to the
// last bit. Cube roots, which every colour needs, take no more.
double cubeRootOfMantissa(double mantissa) {
  static const std::array<double, 1024> table = [] {
    std::array<double, 1024> roots{};
    for (size_t i = 0; i < roots.size(); ++i) {
      const double middle = (static_cast<double>(i) + 0.5) / 1024;
      roots[i] = rootOfMantissa(middle, 3, 0.5 + 0.5 * middle);
    }
    return roots;
  }();
  double root = table[std::min<size_t>(static_cast<size_t>(mantissa * 1024), 1023)];
  for (int step = 0; step < 3; ++step) root = (2 * root + mantissa / (root * root)) / 3;
  return root;
}

}  // namespace

double portableRoot(double value, int degree) {
  if (value <= 0) return 0;
  int exponent = 0;
  double mantissa = std::frexp(value, &exponent);  // 0.5 <= mantissa < 1
  // An exponent that the degree divides, so that the root's exponent is exact.
  while (exponent % degree != 0) {
    mantissa *= 0.5;
    ++exponent;
  }
  const double root = degree == 3 ? cubeRootOfMantissa(mantissa)
                                  : rootOfMantissa(mantissa, degree, 0.5 + 0.5 * mantissa);
  return std::ldexp(root, exponent / degree);
}

double portableExpOfNegative(double x) {
  if (x > 0) x = 0;
  if (x < -745) return 0;
  // e^x = 2^k e^r with |r| <= ln 2 / 2; ln 2 in two parts so that r is nearly exact.
  const double ln2High = 0.693145751953125, ln2Low = 1.4286068203094172321e-6;
  const double k = std::floor(x / 0.6931471805599453 + 0.5);
  const double r = (x - k * ln2High) - k * ln2Low;
  double sum = 1;
  for (int n = 14; n >= 1; --n) sum = 1 + sum * r / n;
  return std::ldexp(sum, static_cast<int>(k));
}

double portableSinOfDegrees(double degrees) {
  const ReducedAngle angle = reduced(degrees);
  switch (angle.quarter) {
    case 0:
      return sinOfSmall(angle.radians);
    case 1:
      return cosOfSmall(angle.radians);
    case 2:
      return -sinOfSmall(angle.radians);
    default:
      return -cosOfSmall(angle.radians);
  }
}

double portableCosOfDegrees(double degrees) {
  const ReducedAngle angle = reduced(degrees);
  switch (angle.quarter) {
    case 0:
      return cosOfSmall(angle.radians);
    case 1:
      return -sinOfSmall(angle.radians);
    case 2:
      return -cosOfSmall(angle.radians);
    default:
      return sinOfSmall(angle.radians);
  }
}

double portableAngleOfDegrees(double y, double x) {
  if (x == 0 && y == 0) return 0;
  const double ax = std::fabs(x), ay = std::fabs(y);
  const bool steep = ay > ax;
  const double t = steep ? ax / ay : ay / ax;  // 0..1
  // Past 15 degrees, turn back by 30: atan t = 30 + atan((t - 1/sqrt 3) / (1 + t/sqrt 3)).
  const double tan15 = 0.26794919243112270;
  const double rootThird = 0.57735026918962576;
  double radians =
      t <= tan15 ? atanOfSmall(t) : kPi / 6 + atanOfSmall((t - rootThird) / (1 + t * rootThird));
  if (steep) radians = kPi / 2 - radians;
  double degrees = radians / kRadiansPerDegree;
  if (x < 0) degrees = 180 - degrees;
  if (y < 0) degrees = 360 - degrees;
  return degrees >= 360 ? degrees - 360 : degrees;
}

const std::array<double, 256>& linearOfByteTable() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> linear{};
    for (int v = 0; v < 256; ++v) {
      const double encoded = v / 255.0;
      if (encoded <= 0.04045) {
        linear[static_cast<size_t>(v)] = encoded / 12.92;
      } else {
        const double base = (encoded + 0.055) / 1.055;
        const double square = base * base;
        linear[static_cast<size_t>(v)] = square * portableRoot(square, 5);  // base^2.4
      }
    }
    return linear;
  }();
  return table;
}

bool shownLinearPicture(const ImageDocument& doc, int zoomX, int zoomY, LinearPicture& shown) {
  shown = LinearPicture();
  const int bits = bitsPerPixel(doc.colourMode);
  if (!hasConvertiblePicture(doc) || bits == 0 || zoomX < 1 || zoomY < 1) return false;
  const int64_t width = int64_t{doc.width} * zoomX, height = int64_t{doc.height} * zoomY;
  if (width * height > kMaxPictureBytes / 12) return false;
  LinearPicture picture;
  picture.width = static_cast<int32_t>(width);
  picture.height = static_cast<int32_t>(height);
  try {
    picture.values.assign(static_cast<size_t>(3 * width * height), 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const std::array<double, 256>& linear = linearOfByteTable();
  for (int32_t y = 0; y < doc.height; ++y) {
    const uint8_t* row = doc.row(y);
    float* out = picture.at(0, y * zoomY);
    for (int32_t x = 0; x < doc.width; ++x) {
      uint8_t red, green, blue;
      if (doc.colourMode == ColourMode::kTrueColour) {
        blue = row[3 * x];
        green = row[3 * x + 1];
        red = row[3 * x + 2];
      } else {
        const ColourValue c = doc.palette[getPackedPixel(row, x, bits)];
        red = redOf(c);
        green = greenOf(c);
        blue = blueOf(c);
      }
      for (int i = 0; i < zoomX; ++i, out += 3) {
        out[0] = static_cast<float>(linear[red]);
        out[1] = static_cast<float>(linear[green]);
        out[2] = static_cast<float>(linear[blue]);
      }
    }
    for (int i = 1; i < zoomY; ++i)
      std::copy(picture.at(0, y * zoomY), picture.at(0, y * zoomY) + 3 * width,
                picture.at(0, y * zoomY + i));
  }
  shown = std::move(picture);
  return true;
}

const std::array<float, 2 * kEyeRadius + 1>& eyeWeights() {
  static const std::array<float, 2 * kEyeRadius + 1> weights = [] {
    std::array<double, 2 * kEyeRadius + 1> exact{};
    double sum = 0;
    for (int i = -kEyeRadius; i <= kEyeRadius; ++i)
      sum += exact[static_cast<size_t>(i + kEyeRadius)] = portableExpOfNegative(-i * i / 2.0);
    std::array<float, 2 * kEyeRadius + 1> made{};
    for (size_t i = 0; i < made.size(); ++i) made[i] = static_cast<float>(exact[i] / sum);
    return made;
  }();
  return weights;
}

int32_t mirroredIndex(int32_t i, int32_t size) {
  while (i < 0 || i >= size) i = i < 0 ? -i - 1 : 2 * size - i - 1;
  return i;
}

bool blurAsTheEyeSees(const LinearPicture& picture, LinearPicture& blurred, int threads) {
  const int32_t width = picture.width, height = picture.height;
  LinearPicture across;
  try {
    across = picture;
    blurred = picture;
  } catch (const std::bad_alloc&) {
    return false;
  }
  const std::array<float, 2 * kEyeRadius + 1>& weights = eyeWeights();
  // Across: the column each tap reads, edges mirrored, looked up.
  std::vector<int32_t> sourceColumn;
  try {
    sourceColumn.resize(static_cast<size_t>(width) + 2 * kEyeRadius);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (size_t i = 0; i < sourceColumn.size(); ++i)
    sourceColumn[i] = mirroredIndex(static_cast<int32_t>(i) - kEyeRadius, width);
  forEachRowBand(height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      const float* row = picture.at(0, y);
      for (int32_t x = 0; x < width; ++x) {
        float total[3] = {0, 0, 0};
        const int32_t* columns = sourceColumn.data() + x;
        for (size_t k = 0; k < weights.size(); ++k) {
          const float* source = row + 3 * static_cast<size_t>(columns[k]);
          for (int c = 0; c < 3; ++c) total[c] += weights[k] * source[c];
        }
        float* out = across.at(x, y);
        for (int c = 0; c < 3; ++c) out[c] = total[c];
      }
    }
  });
  forEachRowBand(height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      float* out = blurred.at(0, y);
      for (int32_t i = 0; i < 3 * width; ++i) out[i] = 0;
      for (int k = -kEyeRadius; k <= kEyeRadius; ++k) {
        const float* source = across.at(0, mirroredIndex(y + k, height));
        const float weight = weights[static_cast<size_t>(k + kEyeRadius)];
        for (int32_t i = 0; i < 3 * width; ++i) out[i] += weight * source[i];
      }
    }
  });
  return true;
}

namespace {

constexpr double kWhiteX = 0.95047, kWhiteZ = 1.08883;
constexpr double kDelta = 6.0 / 29;

struct Xyz {
  double x, y, z;
};

Xyz xyzOfLinear(double red, double green, double blue) {
  return {0.4124564 * red + 0.3575761 * green + 0.1804375 * blue,
          0.2126729 * red + 0.7151522 * green + 0.0721750 * blue,
          0.0193339 * red + 0.1191920 * green + 0.9503041 * blue};
}

double labCurve(double t) {
  return t > kDelta * kDelta * kDelta ? portableRoot(t, 3) : t / (3 * kDelta * kDelta) + 4.0 / 29;
}

double labCurveSlope(double t) {
  if (t <= kDelta * kDelta * kDelta) return 1 / (3 * kDelta * kDelta);
  const double root = portableRoot(t, 3);
  return 1 / (3 * root * root);
}

// CIEDE2000's hue weighting T of a hue given by its cosine and sine, its four cosines
// made from them.
double hueWeightingOf(double c, double s) {
  const double c2 = c * c - s * s, s2 = 2 * s * c;
  const double c3 = c * c2 - s * s2, s3 = s * c2 + c * s2;
  const double c4 = c2 * c2 - s2 * s2, s4 = 2 * s2 * c2;
  const double cos30 = 0.86602540378443865, sin30 = 0.5;
  const double cos6 = 0.99452189536827334, sin6 = 0.10452846326765347;
  const double cos63 = 0.45399049973954675, sin63 = 0.89100652418836786;
  return 1 - 0.17 * (c * cos30 + s * sin30) + 0.24 * c2 + 0.32 * (c3 * cos6 - s3 * sin6) -
         0.20 * (c4 * cos63 + s4 * sin63);
}

double hueWeighting(double hue) {
  return hueWeightingOf(portableCosOfDegrees(hue), portableSinOfDegrees(hue));
}

constexpr double kPow25To7 = 6103515625.0;  // 25^7
constexpr double kHalfTurnSlack = 1e-9;     // degrees

double seventhPower(double v) {
  const double square = v * v;
  return square * square * square * v;
}

// CIEDE2000's stretch of a: 1 + G for a mean chroma.
double aStretch(double meanChroma) {
  const double c7 = seventhPower(meanChroma);
  return 1 + 0.5 * (1 - std::sqrt(c7 / (c7 + kPow25To7)));
}

double lightnessWeighting(double lightness) {
  const double offset = (lightness - 50) * (lightness - 50);
  return 1 + 0.015 * offset / std::sqrt(20 + offset);
}

}  // namespace

Lab labOfLinear(double red, double green, double blue) {
  const Xyz xyz = xyzOfLinear(red, green, blue);
  const double fx = labCurve(xyz.x / kWhiteX), fy = labCurve(xyz.y), fz = labCurve(xyz.z / kWhiteZ);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

// Sharma, Wu and Dalal's formulation, which their published test pairs check.
double ciede2000(const Lab& first, const Lab& second) {
  const double c1 = std::sqrt(first.a * first.a + first.b * first.b);
  const double c2 = std::sqrt(second.a * second.a + second.b * second.b);
  const double stretch = aStretch((c1 + c2) / 2);
  const double a1 = stretch * first.a, a2 = stretch * second.a;
  const double cp1 = std::sqrt(a1 * a1 + first.b * first.b);
  const double cp2 = std::sqrt(a2 * a2 + second.b * second.b);

  // The hues as directions: the mean hue lies along their sum (the middle of the shorter
  // way round), and half their difference's sine follows from the cosine between them,
  // so only the mean hue's angle is needed. Without chroma a colour has hue 0, and the
  // mean hue is the other's; hues half a turn apart take the angles' own rule.
  double deltaH = 0, meanH = 0, t = 0;
  if (cp1 * cp2 == 0) {
    meanH = portableAngleOfDegrees(first.b, a1) + portableAngleOfDegrees(second.b, a2);
  } else {
    const double x1 = a1 / cp1, y1 = first.b / cp1, x2 = a2 / cp2, y2 = second.b / cp2;
    const double sumX = x1 + x2, sumY = y1 + y2;
    if (sumX * sumX + sumY * sumY > 1e-12) {
      const double cosine = std::min(1.0, x1 * x2 + y1 * y2);
      const double halfSine = std::sqrt((1 - cosine) / 2);
      deltaH = 2 * std::sqrt(cp1 * cp2) * (x1 * y2 - y1 * x2 < 0 ? -halfSine : halfSine);
      meanH = portableAngleOfDegrees(sumY, sumX);
      const double length = std::sqrt(sumX * sumX + sumY * sumY);
      t = hueWeightingOf(sumX / length, sumY / length);
    } else {
      const double h1 = portableAngleOfDegrees(first.b, a1);
      const double h2 = portableAngleOfDegrees(second.b, a2);
      // Hues half a turn apart count as not wrapping round, whichever way their last
      // bits were rounded.
      double deltaHue = h2 - h1;
      if (deltaHue > 180 + kHalfTurnSlack)
        deltaHue -= 360;
      else if (deltaHue < -180 - kHalfTurnSlack)
        deltaHue += 360;
      deltaH = 2 * std::sqrt(cp1 * cp2) * portableSinOfDegrees(deltaHue / 2);
      if (std::fabs(h1 - h2) <= 180 + kHalfTurnSlack)
        meanH = (h1 + h2) / 2;
      else
        meanH = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
  }

  const double deltaL = second.lightness - first.lightness;
  const double deltaC = cp2 - cp1;
  const double meanL = (first.lightness + second.lightness) / 2;
  const double meanCp = (cp1 + cp2) / 2;
  if (t == 0) t = hueWeighting(meanH);  // T is never 0 (0.5 < T < 1.7)
  // Far from 275 degrees the rotation is below 1e-15 and taken as none.
  const double hueOffset = (meanH - 275) / 25;
  const double deltaTheta =
      hueOffset * hueOffset < 36 ? 30 * portableExpOfNegative(-hueOffset * hueOffset) : 0;
  const double meanCp7 = seventhPower(meanCp);
  const double rc = 2 * std::sqrt(meanCp7 / (meanCp7 + kPow25To7));
  const double sl = lightnessWeighting(meanL);
  const double sc = 1 + 0.045 * meanCp;
  const double sh = 1 + 0.015 * meanCp * t;
  const double rt = deltaTheta == 0 ? 0 : -portableSinOfDegrees(2 * deltaTheta) * rc;
  const double l = deltaL / sl, c = deltaC / sc, h = deltaH / sh;
  return std::sqrt(l * l + c * c + h * h + rt * c * h);
}

LocalColourScale localColourScale(double red, double green, double blue) {
  const Xyz xyz = xyzOfLinear(red, green, blue);
  const Lab lab = labOfLinear(red, green, blue);
  const double slopeX = labCurveSlope(xyz.x / kWhiteX) / kWhiteX;
  const double slopeY = labCurveSlope(xyz.y);
  const double slopeZ = labCurveSlope(xyz.z / kWhiteZ) / kWhiteZ;
  const double toXyz[3][3] = {{0.4124564, 0.3575761, 0.1804375},
                              {0.2126729, 0.7151522, 0.0721750},
                              {0.0193339, 0.1191920, 0.9503041}};
  const double chroma = std::sqrt(lab.a * lab.a + lab.b * lab.b);
  const double stretch = aStretch(chroma);
  const double stretchedA = stretch * lab.a;
  const double stretchedChroma = std::sqrt(stretchedA * stretchedA + lab.b * lab.b);
  // The chroma direction in the stretched a, b plane; any one for a grey.
  double alongA = 1, alongB = 0;
  if (stretchedChroma > 1e-9) {
    alongA = stretchedA / stretchedChroma;
    alongB = lab.b / stretchedChroma;
  }
  const double hue = portableAngleOfDegrees(lab.b, stretchedA);
  const double lightnessWeight = 1 / lightnessWeighting(lab.lightness);
  const double chromaWeight = 1 / (1 + 0.045 * stretchedChroma);
  const double hueWeight = 1 / (1 + 0.015 * stretchedChroma * hueWeighting(hue));
  LocalColourScale scale{};
  for (int channel = 0; channel < 3; ++channel) {
    const double dx = toXyz[0][channel] * slopeX, dy = toXyz[1][channel] * slopeY,
                 dz = toXyz[2][channel] * slopeZ;
    const double dl = 116 * dy;
    const double da = stretch * 500 * (dx - dy), db = 200 * (dy - dz);
    scale.rows[0][static_cast<size_t>(channel)] = static_cast<float>(lightnessWeight * dl);
    scale.rows[1][static_cast<size_t>(channel)] =
        static_cast<float>(chromaWeight * (alongA * da + alongB * db));
    scale.rows[2][static_cast<size_t>(channel)] =
        static_cast<float>(hueWeight * (alongA * db - alongB * da));
  }
  return scale;
}

DifferenceModel differenceFrom(const Lab& reference, double red, double green, double blue) {
  // The Lab curve and its slope from one cube root per channel.
  const Xyz xyz = xyzOfLinear(red, green, blue);
  const double scaled[3] = {xyz.x / kWhiteX, xyz.y, xyz.z / kWhiteZ};
  const double whites[3] = {kWhiteX, 1, kWhiteZ};
  double curve[3], slopes[3];
  for (int c = 0; c < 3; ++c) {
    const double t = scaled[c];
    if (t > kDelta * kDelta * kDelta) {
      const double root = portableRoot(t, 3);
      curve[c] = root;
      slopes[c] = 1 / (3 * root * root) / whites[c];
    } else {
      curve[c] = t / (3 * kDelta * kDelta) + 4.0 / 29;
      slopes[c] = 1 / (3 * kDelta * kDelta) / whites[c];
    }
  }
  const Lab lab{116 * curve[1] - 16, 500 * (curve[0] - curve[1]), 200 * (curve[1] - curve[2])};
  const double toXyz[3][3] = {{0.4124564, 0.3575761, 0.1804375},
                              {0.2126729, 0.7151522, 0.0721750},
                              {0.0193339, 0.1191920, 0.9503041}};
  const double stretch =
      aStretch((std::sqrt(reference.a * reference.a + reference.b * reference.b) +
                std::sqrt(lab.a * lab.a + lab.b * lab.b)) /
               2);
  const double a1 = stretch * reference.a, a2 = stretch * lab.a;
  const double c1 = std::sqrt(a1 * a1 + reference.b * reference.b);
  const double c2 = std::sqrt(a2 * a2 + lab.b * lab.b);
  // The chroma direction: the reference's hue, which stays put while the colour moves
  // (so that the parts keep their meaning from one model to the next); the colour's own
  // for a grey reference, and any for two greys.
  double alongA = 1, alongB = 0;
  if (c1 > 0) {
    alongA = a1 / c1;
    alongB = reference.b / c1;
  } else if (c2 > 0) {
    alongA = a2 / c2;
    alongB = lab.b / c2;
  }
  const double meanChroma = (c1 + c2) / 2;
  const double lightnessWeight = 1 / lightnessWeighting((reference.lightness + lab.lightness) / 2);
  const double chromaWeight = 1 / (1 + 0.045 * meanChroma);
  const double hueWeight = 1 / (1 + 0.015 * meanChroma * hueWeightingOf(alongA, alongB));
  const double da = a2 - a1, db = lab.b - reference.b;
  DifferenceModel model{};
  model.residual = {static_cast<float>(lightnessWeight * (lab.lightness - reference.lightness)),
                    static_cast<float>(chromaWeight * (alongA * da + alongB * db)),
                    static_cast<float>(hueWeight * (alongA * db - alongB * da))};
  for (int channel = 0; channel < 3; ++channel) {
    const double dx = toXyz[0][channel] * slopes[0], dy = toXyz[1][channel] * slopes[1],
                 dz = toXyz[2][channel] * slopes[2];
    const double dl = 116 * dy, dA = stretch * 500 * (dx - dy), dB = 200 * (dy - dz);
    const size_t c = static_cast<size_t>(channel);
    model.jacobian[0][c] = static_cast<float>(lightnessWeight * dl);
    model.jacobian[1][c] = static_cast<float>(chromaWeight * (alongA * dA + alongB * dB));
    model.jacobian[2][c] = static_cast<float>(hueWeight * (alongA * dB - alongB * dA));
  }
  return model;
}

bool PerceptualErrorMeter::prepare(const LinearPicture& original, int threads) {
  if (!blurAsTheEyeSees(original, blurredOriginal_, threads)) return false;
  const size_t count = blurredOriginal_.values.size() / 3;
  try {
    originalLab_.assign(count, Lab{0, 0, 0});
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int32_t width = original.width;
  forEachRowBand(original.height, threads, [&](int32_t begin, int32_t end) {
    for (size_t i = static_cast<size_t>(begin) * width; i < static_cast<size_t>(end) * width; ++i) {
      const float* pixel = blurredOriginal_.values.data() + 3 * i;
      originalLab_[i] = labOfLinear(pixel[0], pixel[1], pixel[2]);
    }
  });
  return true;
}

double PerceptualErrorMeter::meanDifference(const LinearPicture& result, int threads) const {
  const int32_t width = blurredOriginal_.width, height = blurredOriginal_.height;
  if (result.width != width || result.height != height || width == 0 || height == 0) return -1;
  LinearPicture blurred;
  std::vector<double> rowSums;
  try {
    rowSums.assign(static_cast<size_t>(height), 0.0);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (!blurAsTheEyeSees(result, blurred, threads)) return -1;
  forEachRowBand(height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      double sum = 0;
      for (int32_t x = 0; x < width; ++x) {
        const float* pixel = blurred.at(x, y);
        sum += ciede2000(originalLab_[static_cast<size_t>(y) * width + x],
                         labOfLinear(pixel[0], pixel[1], pixel[2]));
      }
      rowSums[static_cast<size_t>(y)] = sum;
    }
  });
  double total = 0;
  for (double sum : rowSums) total += sum;
  return total / (static_cast<double>(width) * height);
}

}  // namespace vz
