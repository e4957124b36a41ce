#include "converter/colour/tvc_palette.h"

#include <algorithm>

namespace vz {

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

int nearestInList(ColourValue colour, const Cmyk* candidateForms, int n) {
  const Cmyk form = cmykOf(colour);
  int nearest = 0;
  double best = cmykDistance(form, candidateForms[0]);
  for (int i = 1; i < n; ++i) {
    const double distance = cmykDistance(form, candidateForms[i]);
    if (distance < best) {
      best = distance;
      nearest = i;
    }
  }
  return nearest;
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
  return nearestInList(colour, tvcCmykForms().data(), kTvcColourCount);
}

ColourHistogram fillColourHistogram(const ImageDocument& doc) {
  ColourHistogram counts{};
  const int bits = bitsPerPixel(doc.colourMode);
  if (doc.colourMode == ColourMode::kTrueColour || bits == 0 || !doc.holdsPicture()) return counts;
  if (doc.pixels.size() < static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    return counts;
  for (int32_t y = 0; y < doc.height; ++y) {
    const uint8_t* row = doc.row(y);
    for (int32_t x = 0; x < doc.width; ++x) ++counts[getPackedPixel(row, x, bits)];
  }
  return counts;
}

}  // namespace vz
