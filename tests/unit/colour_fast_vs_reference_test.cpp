// The conversions against their plain per-pixel versions, on random pictures of every
// colour mode, every kind and a spread of settings: same bytes, same palette, same flags.
#include <gtest/gtest.h>

#include <random>

#include "converter/colour/conversion_support.h"
#include "tests/unit/colour_reference.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

// Colours drawn from a mix that finds ties and edges: the TVC colours, neutral
// greys, saturated primaries and plain random values.
ColourValue randomColour(std::mt19937& random) {
  switch (random() % 4) {
    case 0:
      return tvcColour(static_cast<int>(random() % 16));
    case 1: {
      const uint8_t v = static_cast<uint8_t>(random());
      return makeColour(v, v, v);
    }
    case 2: {
      const uint8_t levels[] = {0, 0x40, 0x80, 0x91, 0xC0, 0xFF};
      return makeColour(levels[random() % 6], levels[random() % 6], levels[random() % 6]);
    }
    default:
      return random() & 0xFFFFFF;
  }
}

ImageDocument randomPicture(std::mt19937& random, ColourMode mode, int32_t maxWidth = 37,
                            int32_t maxHeight = 9) {
  ImageDocument doc;
  const int32_t width = 1 + static_cast<int32_t>(random() % maxWidth);
  const int32_t height = 1 + static_cast<int32_t>(random() % maxHeight);
  allocatePicture(doc, width, height, mode);
  for (ColourValue& entry : doc.palette) entry = randomColour(random);
  const int bits = bitsPerPixel(mode);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = doc.row(y);
    for (int32_t x = 0; x < width; ++x) {
      if (mode == ColourMode::kTrueColour) {
        const ColourValue c = randomColour(random);
        row[3 * x] = blueOf(c);
        row[3 * x + 1] = greenOf(c);
        row[3 * x + 2] = redOf(c);
      } else {
        // Mostly values the mode has; now and then one past them, which no reader makes.
        const unsigned range = random() % 8 ? static_cast<unsigned>(mode) : 256u;
        setPackedPixel(row, x, bits, static_cast<uint8_t>(random() % range));
      }
    }
  }
  doc.interlaced = random() % 2;
  return doc;
}

EffectSettings randomSettings(std::mt19937& random) {
  EffectSettings settings;
  if (random() % 2)
    for (uint8_t& choice : settings.colourChoices) choice = static_cast<uint8_t>(random() % 16);
  settings.threshold = static_cast<uint8_t>(random());
  settings.interlacedFourColour = random() % 2;
  return settings;
}

void expectSameDocument(const ImageDocument& fast, const ImageDocument& expected,
                        const std::string& what) {
  EXPECT_EQ(fast.width, expected.width) << what;
  EXPECT_EQ(fast.height, expected.height) << what;
  EXPECT_EQ(fast.rowStride, expected.rowStride) << what;
  EXPECT_EQ(fast.colourMode, expected.colourMode) << what;
  EXPECT_EQ(fast.interlaced, expected.interlaced) << what;
  EXPECT_TRUE(fast.palette == expected.palette) << what;
  EXPECT_TRUE(fast.pixels == expected.pixels) << what;
}

struct Conversion {
  const char* name;
  Status (*fast)(ImageDocument&, const EffectSettings&, int kind, int threads);
  void (*reference)(ImageDocument&, const EffectSettings&, int);
  std::vector<int> kinds;
};

Status greyFast(ImageDocument& doc, const EffectSettings&, int kind, int threads) {
  return greyConversion(doc, kind, threads);
}
void greyReference(ImageDocument& doc, const EffectSettings&, int kind) {
  reference::grey(doc, kind);
}

TEST(FastConversions, MatchThePlainVersionsOnRandomPictures) {
  const Conversion conversions[] = {
      {"nearest", nearestColourConversion, reference::nearest, {2, 4, 16}},
      {"ordered", orderedDither, reference::ordered, {0, 1, 2}},
      {"floyd-steinberg", floydSteinbergDither, reference::floydSteinberg, {0, 1, 2}},
      {"grey", greyFast, greyReference, {1, 2}},
  };
  std::mt19937 random(20240607);
  for (const Conversion& conversion : conversions)
    for (int kind : conversion.kinds)
      for (ColourMode mode : kEveryColourMode)
        for (int trial = 0; trial < 12; ++trial) {
          const ImageDocument original = randomPicture(random, mode);
          const EffectSettings settings = randomSettings(random);
          ImageDocument fast = original;
          ImageDocument expected = original;
          conversion.fast(fast, settings, kind, 1);
          conversion.reference(expected, settings, kind);
          expectSameDocument(fast, expected,
                             std::string(conversion.name) + " kind " + std::to_string(kind) +
                                 " mode " + std::to_string(paletteEntries(mode)) + " trial " +
                                 std::to_string(trial));
        }
}

// A bigger photo-like picture: every darkness, so every set of contending candidates,
// and rows enough for several groups of rows dithered together.
TEST(FastConversions, FloydSteinbergMatchesOnAGradientWithNoise) {
  std::mt19937 random(7);
  ImageDocument original;
  allocatePicture(original, 301, 64, ColourMode::kTrueColour);
  for (int32_t y = 0; y < original.height; ++y)
    for (int32_t x = 0; x < original.width; ++x) {
      uint8_t* p = original.row(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / 300);
      p[1] = static_cast<uint8_t>(y * 4 + random() % 8);
      p[2] = static_cast<uint8_t>((x + y) % 256);
    }
  for (int kind = 0; kind < 3; ++kind)
    for (bool interlace : {false, true}) {
      EffectSettings settings;
      settings.interlacedFourColour = interlace;
      ImageDocument fast = original, expected = original;
      floydSteinbergDither(fast, settings, kind);
      reference::floydSteinberg(expected, settings, kind);
      expectSameDocument(fast, expected, "kind " + std::to_string(kind));
    }
}

// The nearest-colour search against the plain search, on the candidate sets the conversions
// use (repeats and all) and on one with colours that are not TVC colours, over every colour
// whose channels come from a dense spread around the TVC levels, where ties are; and the
// looked-up grey level against the plain one on the same colours.
TEST(FastSearch, AnswersAsThePlainRules) {
  const std::vector<std::vector<ColourValue>> sets = {{},
                                                      {0, 15},
                                                      {0, 12, 10, 15},
                                                      {1, 2, 4, 7},
                                                      {8, 9, 10, 11},
                                                      {0, 0, 3, 3},
                                                      {5, 6, 7, 13, 2, 2, 9, 14},
                                                      {0x1E1E1E, 0x80C020, 0x2891FF, 0x7F7F7F}};
  std::vector<int> levels = {1, 54, 55, 56, 109, 110, 111, 127, 128, 144, 145, 146, 254};
  for (int v = 0; v < 256; v += 5) levels.push_back(v);
  for (size_t set = 0; set < sets.size(); ++set) {
    std::vector<ColourValue> candidates;
    if (set == 0)
      candidates.assign(kTvcPalette.begin(), kTvcPalette.end());
    else if (set + 1 == sets.size())
      candidates = sets[set];
    else
      for (ColourValue index : sets[set]) candidates.push_back(tvcColour(static_cast<int>(index)));
    std::vector<Cmyk> forms;
    for (ColourValue c : candidates) forms.push_back(cmykOf(c));
    const NearestColourSearch search(candidates.data(), static_cast<int>(candidates.size()));
    int mismatches = 0;
    for (int r : levels)
      for (int g : levels)
        for (int b : levels) {
          const ColourValue colour =
              makeColour(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
          mismatches += search.nearest(colour) !=
                        nearestInList(colour, forms.data(), static_cast<int>(forms.size()));
          if (set == 0) mismatches += greyLevelTable().of(r, g, b) != greyLevelOf(r, g, b);
        }
    EXPECT_EQ(mismatches, 0) << "set " << set;
  }
}

Status grey256Fast(ImageDocument& doc, const EffectSettings&, int, int threads) {
  return grey256Conversion(doc, threads);
}
Status halveFast(ImageDocument& doc, const EffectSettings&, int direction, int threads) {
  return halve(doc, direction, threads);
}

// Threads change nothing: each conversion that shares out its rows gives, with 2 or 7
// threads, the bytes it gives with one, on random pictures of every colour mode tall
// enough for several groups of rows per thread (the perceptual dither's strips need
// taller ones).
TEST(FastConversions, ThreadsGiveTheBytesOfOneThread) {
  const Conversion conversions[] = {
      {"nearest", nearestColourConversion, nullptr, {2, 4, 16}},
      {"ordered", orderedDither, nullptr, {0, 1, 2}},
      {"floyd-steinberg", floydSteinbergDither, nullptr, {0, 1, 2}},
      {"grey", greyFast, nullptr, {1, 2}},
      {"grey 256", grey256Fast, nullptr, {0}},
      {"halve", halveFast, nullptr, {kHalveHorizontally, kHalveVertically}},
      {"perceptual", perceptualDither, nullptr, {0, 1, 2}},
  };
  std::mt19937 random(20250101);
  for (const Conversion& conversion : conversions)
    for (int kind : conversion.kinds)
      for (ColourMode mode : kEveryColourMode)
        for (int trial = 0; trial < 3; ++trial) {
          const bool strips = conversion.fast == perceptualDither;
          const ImageDocument original =
              randomPicture(random, mode, strips ? 40 : 150, strips ? 1100 : 60);
          const EffectSettings settings = randomSettings(random);
          ImageDocument single = original;
          conversion.fast(single, settings, kind, 1);
          for (int threads : {2, 7}) {
            ImageDocument shared = original;
            conversion.fast(shared, settings, kind, threads);
            expectSameDocument(shared, single,
                               std::string(conversion.name) + " kind " + std::to_string(kind) +
                                   " mode " + std::to_string(paletteEntries(mode)) + " threads " +
                                   std::to_string(threads));
          }
        }
}

}  // namespace
}  // namespace vz
