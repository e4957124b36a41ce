#include "converter/colour/tone.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "converter/colour/conversion_support.h"

namespace vz {

namespace {

// Unsigned whole numbers of any size, least significant 32 bits first: just enough to
// compare two powers exactly.
using WholeNumber = std::vector<uint32_t>;

WholeNumber multiply(const WholeNumber& a, const WholeNumber& b) {
  WholeNumber product(a.size() + b.size(), 0);
  for (size_t i = 0; i < a.size(); ++i) {
    uint64_t carry = 0;
    for (size_t j = 0; j < b.size(); ++j) {
      const uint64_t sum = uint64_t{a[i]} * b[j] + product[i + j] + carry;
      product[i + j] = static_cast<uint32_t>(sum);
      carry = sum >> 32;
    }
    product[i + b.size()] = static_cast<uint32_t>(carry);
  }
  while (product.size() > 1 && product.back() == 0) product.pop_back();
  return product;
}

WholeNumber power(uint32_t base, int64_t exponent) {
  WholeNumber result{1};
  WholeNumber square{base};
  for (; exponent > 0; exponent >>= 1) {
    if (exponent & 1) result = multiply(result, square);
    if (exponent > 1) square = multiply(square, square);
  }
  return result;
}

bool atLeast(const WholeNumber& a, const WholeNumber& b) {
  if (a.size() != b.size()) return a.size() > b.size();
  for (size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] > b[i];
  return true;
}

// How far from a rounding boundary the double-precision power must lie to decide alone:
// its error is some 1e-13 at most, for any correctly working libm.
constexpr double kDecisiveMargin = 1e-6;

// round(255 * (numerator / denominator) ^ (100 / gammaHundredths)), halves up, for
// 0 <= numerator <= denominator, both below 2^32.
int roundedPower(int64_t numerator, int64_t denominator, int32_t gammaHundredths) {
  const int64_t common = std::gcd(numerator, denominator);
  numerator /= common;
  denominator /= common;
  if (gammaHundredths == 100)
    return static_cast<int>((510 * numerator + denominator) / (2 * denominator));
  if (numerator == 0) return 0;
  if (numerator == denominator) return 255;
  const double scaled =
      255 * std::pow(static_cast<double>(numerator) / static_cast<double>(denominator),
                     100.0 / gammaHundredths) +
      0.5;
  const double nearest = std::floor(scaled + 0.5);
  if (std::fabs(scaled - nearest) > kDecisiveMargin)
    return std::clamp(static_cast<int>(std::floor(scaled)), 0, 255);
  // Near the boundary n - 1/2 between n - 1 and n: z^(100/g) >= (2n - 1) / 510 exactly
  // when z^a * 510^b >= (2n - 1)^b, with a / b the exponent in lowest terms.
  const int n = static_cast<int>(nearest);
  if (n <= 0) return 0;
  if (n > 255) return 255;
  const int64_t shared = std::gcd(int64_t{100}, int64_t{gammaHundredths});
  const int64_t a = 100 / shared;
  const int64_t b = gammaHundredths / shared;
  const bool reaches = atLeast(multiply(power(static_cast<uint32_t>(numerator), a), power(510, b)),
                               multiply(power(static_cast<uint32_t>(2 * n - 1), b),
                                        power(static_cast<uint32_t>(denominator), a)));
  return reaches ? n : n - 1;
}

// Steps 1 to 4 for one value, as the header defines them.
uint8_t tonedChannel(int value, const ToneSettings& s) {
  // Step 1: y = shifted / 25500.
  const int64_t shifted =
      std::clamp<int64_t>(100 * int64_t{value} + 255 * int64_t{s.brightness}, 0, 25500);
  // Step 2: z = numerator / denominator.
  int64_t numerator, denominator;
  if (s.contrast == 100) {
    numerator = 2 * shifted > 25500 ? 2 : 2 * shifted < 25500 ? 0 : 1;
    denominator = 2;
  } else {
    denominator = int64_t{51000} * (100 - s.contrast);
    numerator = std::clamp<int64_t>(
        int64_t{25500} * (100 - s.contrast) + (2 * shifted - 25500) * (100 + s.contrast), 0,
        denominator);
  }
  // Steps 3 and 4.
  return static_cast<uint8_t>(roundedPower(numerator, denominator, s.gammaHundredths));
}

// Floor division by 100 that also holds for negative numbers.
int64_t floorHundredth(int64_t value) {
  return value >= 0 ? value / 100 : -((-value + 99) / 100);
}

}  // namespace

bool isValidTone(const ToneSettings& s) {
  return s.brightness >= -100 && s.brightness <= 100 && s.contrast >= -100 && s.contrast <= 100 &&
         s.gammaHundredths >= 20 && s.gammaHundredths <= 500 && s.saturation >= 0 &&
         s.saturation <= 200;
}

bool isNeutralTone(const ToneSettings& s) {
  return s == ToneSettings{};
}

ToneMap::ToneMap(const ToneSettings& settings) : keepsSaturation_(settings.saturation == 100) {
  for (int value = 0; value < 256; ++value)
    channel_[static_cast<size_t>(value)] = tonedChannel(value, settings);
  for (int difference = -255; difference <= 255; ++difference)
    saturationShift_[static_cast<size_t>(difference + 255)] =
        static_cast<int16_t>(floorHundredth(int64_t{difference} * settings.saturation + 50));
}

ColourValue ToneMap::apply(ColourValue colour) const {
  uint8_t bgr[3] = {blueOf(colour), greenOf(colour), redOf(colour)};
  applyToBgr(bgr, 1);
  return makeColour(bgr[2], bgr[1], bgr[0]);
}

void ToneMap::applyToBgr(uint8_t* pixels, int32_t count) const {
  const GreyLevelTable& grey = greyLevelTable();
  for (int32_t i = 0; i < count; ++i, pixels += 3) {
    const int blue = channel_[pixels[0]];
    const int green = channel_[pixels[1]];
    const int red = channel_[pixels[2]];
    if (keepsSaturation_) {
      pixels[0] = static_cast<uint8_t>(blue);
      pixels[1] = static_cast<uint8_t>(green);
      pixels[2] = static_cast<uint8_t>(red);
      continue;
    }
    const int level = grey.of(red, green, blue);
    const auto saturated = [&](int c) {
      return static_cast<uint8_t>(
          std::clamp(level + saturationShift_[static_cast<size_t>(c - level + 255)], 0, 255));
    };
    pixels[0] = saturated(blue);
    pixels[1] = saturated(green);
    pixels[2] = saturated(red);
  }
}

void applyTone(ImageDocument& doc, const ToneSettings& settings, int threads) {
  if (!isValidTone(settings) || isNeutralTone(settings) || !hasConvertiblePicture(doc)) return;
  const ToneMap tone(settings);
  if (doc.colourMode != ColourMode::kTrueColour) {
    const auto entries = static_cast<size_t>(paletteEntries(doc.colourMode));
    for (size_t i = 0; i < entries; ++i) doc.palette[i] = tone.apply(doc.palette[i]);
    return;
  }
  forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) tone.applyToBgr(doc.row(y), doc.width);
  });
}

}  // namespace vz
