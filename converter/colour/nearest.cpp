// Nearest-colour conversion to 2 (grey threshold), 4 and 16 TVC colours.
#include "converter/colour/conversion_support.h"
#include "converter/colour/conversions.h"

namespace vz {

namespace {

using NibbleTable = std::array<uint8_t, 16>;

// Rewrites both nibbles of the first (width + 1) / 2 bytes of every row.
void remapNibblesInPlace(ImageDocument& doc, const NibbleTable& table, int threads) {
  uint8_t byteTable[256];
  for (int b = 0; b < 256; ++b)
    byteTable[b] = static_cast<uint8_t>(table[static_cast<size_t>(b >> 4)] << 4 |
                                        table[static_cast<size_t>(b & 15)]);
  const int32_t bytes = (doc.width + 1) / 2;
  forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      uint8_t* row = doc.row(y);
      for (int32_t i = 0; i < bytes; ++i) row[i] = byteTable[row[i]];
    }
  });
}

Status convertToTwoColours(ImageDocument& doc, const EffectSettings& settings, int threads) {
  if (doc.colourMode == ColourMode::kColours2) return StatusCode::kOk;
  const int32_t stride = static_cast<int32_t>(rowStrideFor(ColourMode::kColours2, doc.width));
  std::vector<uint8_t> out;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(doc.height)))
    return StatusCode::kOutOfMemory;

  uint8_t lightEntry[256];
  for (int i = 0; i < 256; ++i)
    lightEntry[i] = greyLevel(doc.palette[static_cast<size_t>(i)]) > settings.threshold;
  const int bits = bitsPerPixel(doc.colourMode);
  const GreyLevelTable& grey = greyLevelTable();
  forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      const uint8_t* in = doc.row(y);
      PackedRowWriter writer(out.data() + static_cast<size_t>(y) * stride, 1);
      for (int32_t x = 0; x < doc.width; ++x) {
        if (doc.colourMode == ColourMode::kTrueColour)
          writer.append(grey.of(in[3 * x + 2], in[3 * x + 1], in[3 * x]) > settings.threshold);
        else
          writer.append(lightEntry[getPackedPixel(in, x, bits)]);
      }
      writer.finish();
    }
  });
  installPixels(doc, std::move(out), stride, ColourMode::kColours2);
  setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kTwoColourSet], 2);
  doc.interlaced = false;
  return StatusCode::kOk;
}

NibbleTable nearestTvcOfPaletteEntries(const ImageDocument& doc) {
  NibbleTable table{};
  for (size_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<uint8_t>(nearestTvcColour(doc.palette[i]));
  return table;
}

Status convertToSixteenColours(ImageDocument& doc, int threads) {
  const ColourMode mode = doc.colourMode;
  if (mode == ColourMode::kColours16) {
    remapNibblesInPlace(doc, nearestTvcOfPaletteEntries(doc), threads);
  } else if (mode == ColourMode::kTrueColour || bitsPerPixel(mode) == 8) {
    const int32_t stride = static_cast<int32_t>(rowStrideFor(ColourMode::kColours16, doc.width));
    std::vector<uint8_t> out;
    if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(doc.height)))
      return StatusCode::kOutOfMemory;
    if (mode == ColourMode::kTrueColour) {
      const NearestColourSearch search(kTvcPalette.data(), kTvcColourCount);
      forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
        for (int32_t y = begin; y < end; ++y) {
          PackedRowWriter writer(out.data() + static_cast<size_t>(y) * stride, 4);
          forEachPixelColour(doc, doc.row(y), [&](int32_t, uint8_t r, uint8_t g, uint8_t b) {
            writer.append(static_cast<unsigned>(search.nearest(makeColour(r, g, b))));
          });
          writer.finish();
        }
      });
    } else {
      // Values past the mode's entries (no reader makes them) go through the palette
      // like every other conversion reads them.
      uint8_t table[256];
      for (size_t i = 0; i < 256; ++i)
        table[i] = static_cast<uint8_t>(nearestTvcColour(doc.palette[i]));
      forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
        for (int32_t y = begin; y < end; ++y) {
          const uint8_t* in = doc.row(y);
          uint8_t* row = out.data() + static_cast<size_t>(y) * stride;
          for (int32_t x = 0; x < doc.width; x += 2) {
            // An odd width leaves the last low nibble as the mapping of entry 0.
            const uint8_t right = x + 1 < doc.width ? table[in[x + 1]] : table[0];
            row[x / 2] = static_cast<uint8_t>(table[in[x]] << 4 | right);
          }
        }
      });
    }
    installPixels(doc, std::move(out), stride, ColourMode::kColours16);
  } else {
    return Status(StatusCode::kNotApplicable,
                  "16 nearest colours need a true-colour picture or one of 16 or more colours");
  }
  setTvcPalette(doc);
  doc.colourMode = ColourMode::kColours16;
  doc.interlaced = false;
  return StatusCode::kOk;
}

// The four most frequent pixel values, most frequent first; equal counts keep the
// smaller value first, and values that never occur fill the slots left.
std::array<int, 4> rankMostFrequent(const ColourHistogram& counts) {
  std::array<int, 4> slots{};
  int filled = 0;
  for (int value = 0; value < 16; ++value) {
    int s = 0;
    while (s < filled && counts[static_cast<size_t>(slots[static_cast<size_t>(s)])] >=
                             counts[static_cast<size_t>(value)])
      ++s;
    if (s == 4) continue;
    for (int t = (filled < 4 ? filled : 3); t > s; --t)
      slots[static_cast<size_t>(t)] = slots[static_cast<size_t>(t - 1)];
    slots[static_cast<size_t>(s)] = value;
    if (filled < 4) ++filled;
  }
  return slots;
}

Status convertToFourColours(ImageDocument& doc, int threads) {
  if (doc.colourMode == ColourMode::kColours4) {
    for (size_t i = 0; i < 4; ++i) doc.palette[i] = tvcColour(nearestTvcColour(doc.palette[i]));
    return StatusCode::kOk;
  }
  if (doc.colourMode != ColourMode::kColours16)
    return Status(StatusCode::kNotApplicable,
                  "4 nearest colours need a true-colour picture or one of 4, 16 or more colours");
  const std::array<int, 4> slots = rankMostFrequent(fillColourHistogram(doc));
  std::array<ColourValue, 4> chosen{};
  std::array<Cmyk, 4> forms{};
  for (size_t s = 0; s < 4; ++s) {
    chosen[s] = tvcColour(nearestTvcColour(doc.palette[static_cast<size_t>(slots[s])]));
    forms[s] = cmykOf(chosen[s]);
  }
  NibbleTable table{};
  for (size_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<uint8_t>(nearestInList(doc.palette[i], forms.data(), 4));
  for (size_t s = 0; s < 4; ++s) doc.palette[s] = chosen[s];
  remapNibblesInPlace(doc, table, threads);
  doc.colourMode = ColourMode::kColours4;
  doc.interlaced = false;
  return StatusCode::kOk;
}

}  // namespace

Status nearestColourConversion(ImageDocument& doc, const EffectSettings& settings, int target,
                               int threads) {
  if (!hasConvertiblePicture(doc))
    return Status(StatusCode::kNotApplicable, "nearest colours need a picture");
  if (target == 2) return convertToTwoColours(doc, settings, threads);
  if (target == 4) return convertToFourColours(doc, threads);
  if (target == 16) return convertToSixteenColours(doc, threads);
  return Status(StatusCode::kNotApplicable, "no such number of colours");
}

}  // namespace vz
