// The perceptual dither against Floyd-Steinberg's shape of result (target sets, palette,
// colour mode, flags, pre-distortion and zoom), and against the light it must keep.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "converter/colour/conversions.h"
#include "converter/commands/commands.h"
#include "converter/model/app_state.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

// Random colours in any readable mode (true colour, 4 or 8 bits through a palette).
ImageDocument randomPicture(ColourMode mode, int32_t width, int32_t height, unsigned seed) {
  std::mt19937 random(seed);
  ImageDocument doc;
  allocatePicture(doc, width, height, mode);
  for (ColourValue& entry : doc.palette) entry = random() & 0xFFFFFF;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (mode == ColourMode::kTrueColour) {
        for (int c = 0; c < 3; ++c) doc.row(y)[3 * x + c] = static_cast<uint8_t>(random());
      } else {
        setPackedPixel(
            doc.row(y), x, bitsPerPixel(mode),
            static_cast<uint8_t>(random() % static_cast<unsigned>(paletteEntries(mode))));
      }
    }
  return doc;
}

int pixelAt(const ImageDocument& doc, int32_t x, int32_t y) {
  return getPackedPixel(doc.row(y), x, bitsPerPixel(doc.colourMode));
}

TEST(PerceptualDither, KeepsToFloydSteinbergsTargetSetsFlagsAndSizes) {
  struct Case {
    int kind;
    bool interlaced;
    std::array<uint8_t, 10> colours;
    ColourMode sourceMode;
  };
  const Case cases[] = {
      {kDitherTwoColours, false, {2, 13, 0, 10, 14, 15, 0, 11, 7, 15}, ColourMode::kTrueColour},
      {kDitherTwoColours, true, {0, 15, 0, 10, 14, 15, 0, 11, 7, 15}, ColourMode::kColours256},
      {kDitherFourColours, false, {0, 15, 0, 10, 14, 15, 0, 11, 7, 15}, ColourMode::kColours256},
      {kDitherFourColours, true, {0, 15, 0, 10, 14, 15, 0, 11, 7, 15}, ColourMode::kTrueColour},
      {kDitherFourColours, true, {0, 15, 1, 4, 4, 9, 8, 2, 12, 6}, ColourMode::kColours16},
      {kDitherSixteenColours, false, {0, 15, 0, 10, 14, 15, 0, 11, 7, 15}, ColourMode::kTrueColour},
      {kDitherSixteenColours, true, {0, 15, 0, 10, 14, 15, 0, 11, 7, 15}, ColourMode::kColours16},
  };
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << ", interlace " << c.interlaced
                                    << ", source mode " << c.sourceMode);
    EffectSettings settings;
    settings.interlacedFourColour = c.interlaced;
    settings.colourChoices = c.colours;
    const ImageDocument source = randomPicture(c.sourceMode, 37, 11, seed++);
    ImageDocument fs = source, perceptual = source, again = source;
    floydSteinbergDither(fs, settings, c.kind);
    perceptualDither(perceptual, settings, c.kind);
    perceptualDither(again, settings, c.kind);

    // The same kind of TVC picture, with the same palette: the target set's colours.
    EXPECT_EQ(perceptual.width, fs.width);
    EXPECT_EQ(perceptual.height, fs.height);
    EXPECT_EQ(perceptual.rowStride, fs.rowStride);
    EXPECT_EQ(perceptual.colourMode, fs.colourMode);
    EXPECT_EQ(perceptual.interlaced, fs.interlaced);
    EXPECT_EQ(perceptual.palette, fs.palette);
    EXPECT_EQ(perceptual.pixels, again.pixels) << "the same bytes on every run";

    // Only values of the row's own set; both sets used when interlaced; black is 0, never 8.
    const bool interlaced = c.interlaced && c.kind == kDitherFourColours;
    const int setSize = c.kind == kDitherTwoColours ? 2 : (c.kind == kDitherFourColours ? 4 : 16);
    std::set<int> used[2];
    for (int32_t y = 0; y < perceptual.height; ++y)
      for (int32_t x = 0; x < perceptual.width; ++x) {
        const int value = pixelAt(perceptual, x, y);
        const int first = interlaced && (y & 1) ? 4 : 0;
        EXPECT_GE(value, first) << x << "," << y;
        EXPECT_LT(value, first + setSize) << x << "," << y;
        EXPECT_NE(value, 8);
        used[y & 1].insert(value);
      }
    EXPECT_GE(used[0].size(), 2u);
    if (interlaced) {
      EXPECT_GE(*used[1].begin(), 4);
    }
  }

  // Through the dithering command: the same pre-distortion and zoom.
  for (int kind : {kDitherTwoColours, kDitherFourColours, kDitherSixteenColours}) {
    AppState fs, perceptual;
    fs.document = perceptual.document = randomPicture(ColourMode::kTrueColour, 9, 7, 99);
    perceptual.effects.ditherAlgorithm = kPerceptual;
    ditherCommand(fs, kind);
    ditherCommand(perceptual, kind);
    EXPECT_EQ(perceptual.document.width, fs.document.width) << "kind " << kind;
    EXPECT_EQ(perceptual.document.height, fs.document.height) << "kind " << kind;
    EXPECT_EQ(perceptual.document.colourMode, fs.document.colourMode) << "kind " << kind;
    EXPECT_EQ(perceptual.view.zoomX, fs.view.zoomX) << "kind " << kind;
    EXPECT_EQ(perceptual.view.zoomY, fs.view.zoomY) << "kind " << kind;
    EXPECT_TRUE(perceptual.document.tvcPicture);
  }
}

double linearOf(uint8_t value) {
  const double v = value / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The eye blends the dots: a uniform colour the set can mix comes out, on average over
// the picture, as the same light in every channel.
TEST(PerceptualDither, UniformColoursKeepTheirLightOnAverage) {
  struct Case {
    int kind;
    ColourValue colour;
  };
  const Case cases[] = {
      {kDitherTwoColours, makeColour(188, 188, 188)},  // half the light of white
      {kDitherTwoColours, makeColour(60, 60, 60)},
      {kDitherFourColours, makeColour(255, 160, 0)},  // between bright red and yellow
      {kDitherFourColours, makeColour(230, 120, 90)},
      {kDitherSixteenColours, makeColour(200, 120, 40)},
      {kDitherSixteenColours, makeColour(30, 60, 20)},
  };
  const EffectSettings settings;  // 2-colour set black and white; 4: black, red, yellow, white
  for (const Case& c : cases) {
    ImageDocument doc;
    allocatePicture(doc, 128, 128, ColourMode::kTrueColour);
    for (int32_t y = 0; y < 128; ++y)
      for (int32_t x = 0; x < 128; ++x) {
        doc.row(y)[3 * x] = blueOf(c.colour);
        doc.row(y)[3 * x + 1] = greenOf(c.colour);
        doc.row(y)[3 * x + 2] = redOf(c.colour);
      }
    perceptualDither(doc, settings, c.kind);
    double sums[3] = {};
    for (int32_t y = 0; y < 128; ++y)
      for (int32_t x = 0; x < 128; ++x) {
        const ColourValue shown = doc.palette[static_cast<size_t>(pixelAt(doc, x, y))];
        sums[0] += linearOf(redOf(shown));
        sums[1] += linearOf(greenOf(shown));
        sums[2] += linearOf(blueOf(shown));
      }
    const uint8_t wanted[3] = {redOf(c.colour), greenOf(c.colour), blueOf(c.colour)};
    for (int channel = 0; channel < 3; ++channel)
      EXPECT_NEAR(sums[channel] / (128 * 128), linearOf(wanted[channel]), 0.01)
          << "kind " << c.kind << ", colour " << std::hex << c.colour << ", channel " << channel;
  }
}

}  // namespace
}  // namespace vz
