#include "converter/colour/tvc_palette.h"

#include <algorithm>

namespace vz {

namespace {

constexpr ColourValue tvcColourFromBits(int index) {
  const uint8_t on = (index & 8) ? 0xFF : 0x91;
  const uint8_t blue = (index & 1) ? on : 0;
  const uint8_t red = (index & 2) ? on : 0;
  const uint8_t green = (index & 4) ? on : 0;
  return makeColour(red, green, blue);
}

}  // namespace

const std::array<ColourValue, kTvcColourCount> kTvcPalette = {
    tvcColourFromBits(0),  tvcColourFromBits(1),  tvcColourFromBits(2),  tvcColourFromBits(3),
    tvcColourFromBits(4),  tvcColourFromBits(5),  tvcColourFromBits(6),  tvcColourFromBits(7),
    tvcColourFromBits(8),  tvcColourFromBits(9),  tvcColourFromBits(10), tvcColourFromBits(11),
    tvcColourFromBits(12), tvcColourFromBits(13), tvcColourFromBits(14), tvcColourFromBits(15)};

const std::array<uint8_t, kTvcColourCount> kTvcGreyLevels = {0, 15, 43, 59,  85,  101, 129, 145,
                                                             0, 28, 76, 104, 150, 178, 226, 255};

uint8_t hardwareByteOf(int tvcIndex) {
  uint8_t byte = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (tvcIndex & (1 << bit)) byte |= static_cast<uint8_t>(1 << (2 * bit));
  return byte;
}

int tvcIndexOfHardwareByte(uint8_t hardwareByte) {
  int index = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (hardwareByte & (1 << (2 * bit))) index |= 1 << bit;
  return index;
}

int tvcIndexOf(ColourValue colour) {
  for (int i = 0; i < kTvcColourCount; ++i)
    if (kTvcPalette[static_cast<size_t>(i)] == colour) return i;
  return -1;
}

Cmyk cmykOf(ColourValue colour) {
  const int inverseRed = 255 - redOf(colour);
  const int inverseGreen = 255 - greenOf(colour);
  const int inverseBlue = 255 - blueOf(colour);
  const int k = std::min({inverseRed, inverseGreen, inverseBlue});
  Cmyk form;
  form.k = k;
  if (k != 255) {
    const double range = 255 - k;
    form.c = (inverseRed - k) / range;
    form.m = (inverseGreen - k) / range;
    form.y = (inverseBlue - k) / range;
  }
  return form;
}

double cmykDistance(const Cmyk& a, const Cmyk& b) {
  const double dc = a.c - b.c;
  const double dm = a.m - b.m;
  const double dy = a.y - b.y;
  const double dk = a.k - b.k;
  return dc * dc + dm * dm + dy * dy + dk * dk;
}

NearestMatch nearestInList(ColourValue colour, const ColourValue* candidates,
                           const Cmyk* candidateForms, int n) {
  const Cmyk form = cmykOf(colour);
  NearestMatch match;
  double best = cmykDistance(form, candidateForms[0]);
  for (int i = 1; i < n; ++i) {
    const double distance = cmykDistance(form, candidateForms[i]);
    if (distance < best) {
      best = distance;
      match.index = i;
    }
  }
  const ColourValue chosen = candidates[match.index];
  match.redDifference = redOf(colour) - redOf(chosen);
  match.greenDifference = greenOf(colour) - greenOf(chosen);
  match.blueDifference = blueOf(colour) - blueOf(chosen);
  match.greyDifference = static_cast<int>(match.blueDifference * 0.11 +
                                          match.greenDifference * 0.59 + match.redDifference * 0.3);
  return match;
}

const std::array<Cmyk, kTvcColourCount>& tvcCmykForms() {
  static const std::array<Cmyk, kTvcColourCount> forms = [] {
    std::array<Cmyk, kTvcColourCount> f;
    for (int i = 0; i < kTvcColourCount; ++i) f[static_cast<size_t>(i)] = cmykOf(tvcColour(i));
    return f;
  }();
  return forms;
}

int nearestTvcColour(ColourValue colour) {
  return nearestInList(colour, kTvcPalette.data(), tvcCmykForms().data(), kTvcColourCount).index;
}

int nearestGrey(int red, int green, int blue, const uint8_t* greyTable, int n) {
  const int grey = greyLevelOf(red, green, blue);
  int bestIndex = 0;
  int best = (grey - greyTable[0]) * (grey - greyTable[0]);
  for (int i = 1; i < n; ++i) {
    const int difference = (grey - greyTable[i]) * (grey - greyTable[i]);
    if (difference < best) {
      best = difference;
      bestIndex = i;
    }
  }
  return bestIndex;
}

ColourHistogram fillColourHistogram(const ImageDocument& doc) {
  ColourHistogram counts{};
  const int bits = bitsPerPixel(doc.colourMode);
  if (doc.colourMode == kTrueColour || bits == 0 || !doc.holdsPicture()) return counts;
  if (doc.pixels.size() < static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    return counts;
  for (int32_t y = 0; y < doc.height; ++y) {
    const uint8_t* row = doc.row(y);
    for (int32_t x = 0; x < doc.width; ++x) ++counts[getPackedPixel(row, x, bits)];
  }
  return counts;
}

}  // namespace vz
