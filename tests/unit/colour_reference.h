// Plain per-pixel versions of the conversions, written straight from the rules with
// no tables or caches. The fast code must give the same document bit for bit.
#pragma once

#include <algorithm>
#include <array>
#include <vector>

#include "converter/colour/conversions.h"
#include "converter/colour/tvc_palette.h"

namespace vz::reference {

inline bool convertible(const ImageDocument& doc) {
  return doc.holdsPicture() && doc.width > 0 && doc.height > 0;
}

inline ColourValue pixelColour(const ImageDocument& doc, int32_t x, int32_t y) {
  const uint8_t* row = doc.row(y);
  if (doc.colourMode == ColourMode::kTrueColour)
    return makeColour(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  return doc.palette[getPackedPixel(row, x, bitsPerPixel(doc.colourMode))];
}

inline ImageDocument withNewPixels(const ImageDocument& doc, ColourMode colourMode) {
  ImageDocument out = doc;
  out.rowStride = static_cast<int32_t>(rowStrideFor(colourMode, doc.width));
  out.pixels.assign(static_cast<size_t>(out.rowStride) * doc.height, 0);
  out.colourMode = colourMode;
  return out;
}

inline void nearest(ImageDocument& doc, const EffectSettings& s, int target) {
  if (!convertible(doc)) return;
  const ColourMode mode = doc.colourMode;
  if (target == 2) {
    if (mode == ColourMode::kColours2) return;
    ImageDocument out = withNewPixels(doc, ColourMode::kColours2);
    for (int32_t y = 0; y < doc.height; ++y)
      for (int32_t x = 0; x < doc.width; ++x)
        setPackedPixel(out.row(y), x, 1, greyLevel(pixelColour(doc, x, y)) > s.threshold);
    out.palette[0] = tvcColour(s.colourChoices[0]);
    out.palette[1] = tvcColour(s.colourChoices[1]);
    out.interlaced = false;
    doc = out;
  } else if (target == 16) {
    if (mode == ColourMode::kColours16) {
      for (int32_t y = 0; y < doc.height; ++y)
        for (int32_t x = 0; x < (doc.width + 1) / 2 * 2; ++x)
          setPackedPixel(doc.row(y), x, 4,
                         nearestTvcColour(doc.palette[getPackedPixel(doc.row(y), x, 4)]));
    } else if (mode == ColourMode::kTrueColour || paletteEntries(mode) >= 32) {
      ImageDocument out = withNewPixels(doc, ColourMode::kColours16);
      for (int32_t y = 0; y < doc.height; ++y) {
        for (int32_t x = 0; x < doc.width; ++x)
          setPackedPixel(out.row(y), x, 4, nearestTvcColour(pixelColour(doc, x, y)));
        if (mode != ColourMode::kTrueColour && doc.width % 2)
          setPackedPixel(out.row(y), doc.width, 4, nearestTvcColour(doc.palette[0]));
      }
      doc = out;
    } else {
      return;
    }
    for (int i = 0; i < 16; ++i) doc.palette[i] = tvcColour(i);
    doc.colourMode = ColourMode::kColours16;
    doc.interlaced = false;
  } else if (target == 4) {
    if (mode == ColourMode::kColours4) {
      for (int i = 0; i < 4; ++i) doc.palette[i] = tvcColour(nearestTvcColour(doc.palette[i]));
      return;
    }
    if (mode != ColourMode::kColours16) return;
    const ColourHistogram counts = fillColourHistogram(doc);
    std::vector<int> order(16);
    for (int v = 0; v < 16; ++v) order[v] = v;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return counts[a] > counts[b]; });
    ColourValue chosen[4];
    Cmyk forms[4];
    for (int s4 = 0; s4 < 4; ++s4) {
      chosen[s4] = tvcColour(nearestTvcColour(doc.palette[order[s4]]));
      forms[s4] = cmykOf(chosen[s4]);
    }
    int table[16];
    for (int i = 0; i < 16; ++i) table[i] = nearestInList(doc.palette[i], forms, 4);
    for (int i = 0; i < 4; ++i) doc.palette[i] = chosen[i];
    for (int32_t y = 0; y < doc.height; ++y)
      for (int32_t x = 0; x < (doc.width + 1) / 2 * 2; ++x)
        setPackedPixel(doc.row(y), x, 4, table[getPackedPixel(doc.row(y), x, 4)]);
    doc.colourMode = ColourMode::kColours4;
    doc.interlaced = false;
  }
}

const int kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                          {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                          {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                          {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

inline ColourMode outputMode(int kind, bool interlaced = false) {
  return kind == 0 ? ColourMode::kColours2
                   : (kind == 1 && !interlaced ? ColourMode::kColours4 : ColourMode::kColours16);
}

inline void ordered(ImageDocument& doc, const EffectSettings& s, int kind) {
  if (!convertible(doc) || doc.colourMode == ColourMode::kColours2) return;
  ImageDocument out = withNewPixels(doc, outputMode(kind));
  const int bits = kind == 0 ? 1 : 4;
  for (int32_t y = 0; y < doc.height; ++y)
    for (int32_t x = 0; x < doc.width; ++x) {
      const ColourValue c = pixelColour(doc, x, y);
      const int m = kBayer[x % 8][y % 8];
      const int g = greyLevel(c);
      int value = 0;
      if (kind == 0) {
        value = g / 4 > m;
      } else if (kind == 1) {
        value = g + m > 255 ? 3 : (g + m) / 64;
      } else {
        const int r6 = redOf(c) / 4, g6 = greenOf(c) / 4, b6 = blueOf(c) / 4;
        value = 8 * (greyLevelOf(r6, g6, b6) > m) + 4 * (g6 > m) + 2 * (r6 > m) + (b6 > m);
      }
      setPackedPixel(out.row(y), x, bits, static_cast<uint8_t>(value));
    }
  if (kind == 0)
    for (int i = 0; i < 2; ++i) out.palette[i] = tvcColour(s.colourChoices[i]);
  else if (kind == 1)
    for (int i = 0; i < 4; ++i) out.palette[i] = tvcColour(s.colourChoices[2 + i]);
  else
    for (int i = 0; i < 16; ++i) out.palette[i] = tvcColour(i);
  out.interlaced = false;
  doc = out;
}

inline bool inList(int index, std::array<int, 6> list) {
  return std::find(list.begin(), list.end(), index) != list.end();
}

inline void floydSteinberg(ImageDocument& doc, const EffectSettings& s, int kind) {
  if (!convertible(doc) || doc.colourMode == ColourMode::kColours2) return;
  const bool interlaced = kind == 1 && s.interlacedFourColour;
  std::vector<int> indices;
  if (kind == 0) indices = {0, 15};
  if (kind == 1)
    for (int i = 0; i < (interlaced ? 8 : 4); ++i) indices.push_back(s.colourChoices[2 + i]);
  if (kind == 2)
    for (int i = 0; i < 16; ++i) indices.push_back(i);
  std::vector<ColourValue> candidates;
  std::vector<Cmyk> forms;
  for (int index : indices) {
    candidates.push_back(tvcColour(index));
    forms.push_back(cmykOf(tvcColour(index)));
  }
  bool noRed = kind == 1, noGreen = kind == 1, noBlue = kind == 1;
  for (int index : indices) {
    if (inList(index, {2, 3, 6, 10, 11, 14})) noRed = false;
    if (inList(index, {4, 5, 6, 12, 13, 14})) noGreen = false;
    if (inList(index, {1, 3, 5, 9, 11, 13})) noBlue = false;
  }
  // The whole picture as red, green, blue rows, each with its spare triple.
  std::vector<std::vector<int>> rgb(doc.height, std::vector<int>(3 * doc.width + 3, 0));
  for (int32_t y = 0; y < doc.height; ++y)
    for (int32_t x = 0; x < doc.width; ++x) {
      const ColourValue c = pixelColour(doc, x, y);
      int r = redOf(c), g = greenOf(c), b = blueOf(c);
      if ((noRed && r > g && r > b) || (noGreen && g > r && g > b) || (noBlue && b > r && b > g))
        r = g = b = greyLevel(c);
      rgb[y][3 * x] = r;
      rgb[y][3 * x + 1] = g;
      rgb[y][3 * x + 2] = b;
    }
  ImageDocument out = withNewPixels(doc, outputMode(kind, interlaced));
  for (int32_t y = 0; y < doc.height; ++y) {
    const bool odd = interlaced && (y % 2 == 1);
    const int first = odd ? 4 : 0;
    const int count = kind == 1 ? 4 : static_cast<int>(candidates.size());
    for (int32_t x = 0; x < doc.width; ++x) {
      const std::vector<int>& px = rgb[y];
      const ColourValue colour = makeColour(px[3 * x], px[3 * x + 1], px[3 * x + 2]);
      const int nearest = nearestInList(colour, &forms[first], count);
      const ColourValue chosen = candidates[static_cast<size_t>(first + nearest)];
      const int errors[3] = {redOf(colour) - redOf(chosen), greenOf(colour) - greenOf(chosen),
                             blueOf(colour) - blueOf(chosen)};
      for (int ch = 0; ch < 3; ++ch) {
        auto add = [&](int row, int column, int weight) {
          if (row >= doc.height) return;
          int& v = rgb[row][3 * column + ch];
          v = std::clamp(v + errors[ch] * weight / 16, 0, 255);
        };
        add(y, x + 1, 7);
        if (x > 0) add(y + 1, x - 1, 3);
        add(y + 1, x, 5);
        add(y + 1, x + 1, 1);
      }
      setPackedPixel(out.row(y), x, kind == 0 ? 1 : 4, static_cast<uint8_t>(nearest + first));
    }
  }
  for (int i = 0; i < 16; ++i) out.palette[i] = 0;
  if (kind == 0)
    for (int i = 0; i < 2; ++i) out.palette[i] = tvcColour(s.colourChoices[i]);
  else
    for (size_t i = 0; i < candidates.size(); ++i) out.palette[i] = candidates[i];
  out.interlaced = interlaced;
  doc = out;
}

// Index of the grey table entry nearest to the grey level of (red, green, blue);
// squared integer difference, ties to the lowest index.
inline int nearestGrey(int red, int green, int blue, const uint8_t* greyTable, int n) {
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

inline void grey(ImageDocument& doc, int kind) {
  if (!convertible(doc) ||
      (doc.colourMode != ColourMode::kTrueColour && doc.colourMode != ColourMode::kColours256))
    return;
  static const uint8_t fourGreys[4] = {0, 150, 76, 255};
  ImageDocument out =
      withNewPixels(doc, kind == 1 ? ColourMode::kColours4 : ColourMode::kColours16);
  for (int32_t y = 0; y < doc.height; ++y)
    for (int32_t x = 0; x < doc.width; ++x) {
      const ColourValue c = pixelColour(doc, x, y);
      const int index =
          kind == 1 ? nearestGrey(redOf(c), greenOf(c), blueOf(c), fourGreys, 4)
                    : nearestGrey(redOf(c), greenOf(c), blueOf(c), kTvcGreyLevels.data(), 16);
      setPackedPixel(out.row(y), x, 4, static_cast<uint8_t>(index));
    }
  if (kind == 1) {
    const int tvc[4] = {0, 12, 10, 15};
    for (int i = 0; i < 4; ++i) out.palette[i] = tvcColour(tvc[i]);
  } else {
    for (int i = 0; i < 16; ++i) out.palette[i] = tvcColour(i);
  }
  doc = out;
}

}  // namespace vz::reference
