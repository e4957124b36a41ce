// The best colour sets and the refined dither: the search finds the sets a picture is
// made of, the refinement never looks worse than the perceptual dither it starts from and
// keeps each mode's colours, both give the same bytes with any number of threads, and
// vizorka-cli's --colours auto and --algorithm refined run them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "converter/colour/colour_set_search.h"
#include "converter/colour/conversions.h"
#include "converter/colour/perceptual_error.h"
#include "converter/colour/refined_dither.h"
#include "converter/commands/commands.h"
#include "converter/formats/bmp_writer.h"
#include "converter/model/file_io.h"
#include "converter/model/tvc_colours.h"
#include "converter/view/render.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

void setColour(ImageDocument& doc, int32_t x, int32_t y, ColourValue colour) {
  uint8_t* pixel = doc.row(y) + 3 * x;
  pixel[0] = blueOf(colour);
  pixel[1] = greenOf(colour);
  pixel[2] = redOf(colour);
}

// Four blocks across and two down, block i in TVC colour colours[i % count].
ImageDocument blocksOf(const std::vector<int>& colours, int32_t width = 40, int32_t height = 24) {
  ImageDocument doc;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const size_t block = static_cast<size_t>(x * 4 / width + 4 * (y * 2 / height));
      setColour(doc, x, y, tvcColour(colours[block % colours.size()]));
    }
  return doc;
}

// Smooth colours everywhere, like a photo's.
ImageDocument plasmaPicture(int32_t width, int32_t height) {
  ImageDocument doc;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double value = std::sin(x / 5.0) + std::sin(y / 3.0) + std::sin((x + y) / 7.0);
      const auto channel = [&](double phase) {
        return static_cast<uint8_t>(127.5 + 127 * std::sin(value + phase));
      };
      setColour(doc, x, y, makeColour(channel(0), channel(2.1), channel(4.2)));
    }
  return doc;
}

std::vector<uint8_t> setOf(const EffectSettings& settings, int first, int count) {
  return std::vector<uint8_t>(settings.colourChoices.begin() + first,
                              settings.colourChoices.begin() + first + count);
}

// A picture of only a set's colours is shown exactly by that set and by no other, so the
// search must find it (each set darkest first by grey level), whatever the sets held.
TEST(ColourSetSearch, FindsTheSetsAPictureIsMadeOf) {
  struct Case {
    const char* name;
    SetConversion conversion;
    uint8_t algorithm;
    bool interlaced;
    std::vector<int> colours;
    std::array<bool, 3> choose;
    std::vector<uint8_t> twoColours, fourColours, evenLineColours;
  };
  const Case cases[] = {
      {"perceptual 2",
       SetConversion::kDitherTwoColours,
       kPerceptual,
       false,
       {14, 1},
       {true, true, true},
       {1, 14},
       {0, 10, 14, 15},
       {0, 11, 7, 15}},
      {"nearest 2",
       SetConversion::kNearestTwoColours,
       kFloydSteinberg,
       false,
       {3, 12},
       {true, false, false},
       {3, 12},
       {0, 10, 14, 15},
       {0, 11, 7, 15}},
      {"perceptual 4",
       SetConversion::kDitherFourColours,
       kPerceptual,
       false,
       {9, 4, 10, 14},
       {false, true, false},
       {0, 15},
       {9, 10, 4, 14},
       {0, 11, 7, 15}},
      {"Floyd-Steinberg 4",
       SetConversion::kDitherFourColours,
       kFloydSteinberg,
       false,
       {1, 6, 11, 12},
       {false, true, true},
       {0, 15},
       {1, 11, 6, 12},
       {0, 11, 7, 15}},
      {"perceptual interlaced pair",
       SetConversion::kDitherFourColours,
       kPerceptual,
       true,
       {5, 2, 13, 7},
       {false, true, true},
       {0, 15},
       {2, 5, 7, 13},
       {2, 5, 7, 13}},
      {"perceptual even-line set",
       SetConversion::kDitherFourColours,
       kPerceptual,
       true,
       {0, 10, 14, 15},
       {false, false, true},
       {0, 15},
       {0, 10, 14, 15},
       {0, 10, 14, 15}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EffectSettings settings;
    settings.ditherAlgorithm = c.algorithm;
    settings.interlacedFourColour = c.interlaced;
    ColourSetTarget target;
    target.conversion = c.conversion;
    target.choose = c.choose;
    ASSERT_TRUE(chooseColourSets(blocksOf(c.colours), settings, target).ok());
    EXPECT_EQ(setOf(settings, kTwoColourSet, 2), c.twoColours);
    EXPECT_EQ(setOf(settings, kFourColourSet, 4), c.fourColours);
    EXPECT_EQ(setOf(settings, kEvenLineSet, 4), c.evenLineColours);
  }

  // Nothing to choose for: the settings stay.
  EffectSettings settings;
  ImageDocument empty;
  EXPECT_EQ(chooseColourSets(empty, settings, ColourSetTarget{}).code(),
            StatusCode::kNotApplicable);
  EXPECT_EQ(settings.colourChoices, EffectSettings{}.colourChoices);
}

double shownError(const ImageDocument& source, const ImageDocument& result, int zoomX, int zoomY) {
  LinearPicture original, shown;
  PerceptualErrorMeter meter;
  if (!shownLinearPicture(source, zoomX, zoomY, original) || !meter.prepare(original, 1) ||
      !shownLinearPicture(result, zoomX, zoomY, shown))
    return -1;
  return meter.meanDifference(shown, 1);
}

struct Mode {
  const char* name;
  int kind;
  bool interlaced;
  int zoomX, zoomY;
  bool improves;  // on the test picture: the refinement finds a closer one
};

const Mode kModes[] = {
    {"2 colours shown 1 x 2", kDitherTwoColours, false, 1, 2, false},
    {"4 colours", kDitherFourColours, false, 1, 1, true},
    {"4 colours interlaced", kDitherFourColours, true, 1, 1, true},
    {"16 colours shown 2 x 1", kDitherSixteenColours, false, 2, 1, true},
};

// Refined starts from the perceptual result and keeps only what looks closer: never
// further from the source than it, with the same palette, mode and flags, and only the
// values each row's set allows (black as 0, never 8).
TEST(RefinedDither, NeverLooksWorseThanPerceptualAndKeepsEachModesColours) {
  const ImageDocument source = plasmaPicture(48, 40);
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    EffectSettings settings;
    settings.interlacedFourColour = mode.interlaced;
    settings.colourChoices = {2, 13, 0, 10, 14, 15, 0, 11, 7, 15};
    ImageDocument perceptual = source, refined = source;
    perceptualDither(perceptual, settings, mode.kind);
    refinedDither(refined, settings, mode.kind, mode.zoomX, mode.zoomY);
    const double start = shownError(source, perceptual, mode.zoomX, mode.zoomY);
    const double end = shownError(source, refined, mode.zoomX, mode.zoomY);
    ASSERT_GT(start, 0);
    EXPECT_LE(end, start);
    if (mode.improves) {
      EXPECT_LT(end, 0.95 * start);
    }
    EXPECT_EQ(refined.colourMode, perceptual.colourMode);
    EXPECT_EQ(refined.rowStride, perceptual.rowStride);
    EXPECT_EQ(refined.palette, perceptual.palette);
    EXPECT_EQ(refined.interlaced, perceptual.interlaced);
    const int bits = bitsPerPixel(refined.colourMode);
    const int setSize =
        mode.kind == kDitherTwoColours ? 2 : (mode.kind == kDitherFourColours ? 4 : 16);
    for (int32_t y = 0; y < refined.height; ++y)
      for (int32_t x = 0; x < refined.width; ++x) {
        const int value = getPackedPixel(refined.row(y), x, bits);
        const int first = mode.interlaced && (y & 1) ? 4 : 0;
        ASSERT_GE(value, first) << x << "," << y;
        ASSERT_LT(value, first + setSize) << x << "," << y;
        ASSERT_NE(value, 8) << x << "," << y;
      }
  }
}

// The work is shared among threads in pieces fixed by the picture alone.
TEST(RefinedDither, SameBytesWithAnyNumberOfThreads) {
  const ImageDocument source = plasmaPicture(48, 40);  // blocks of 16 x 16: 3 x 3 of them
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    EffectSettings settings;
    settings.interlacedFourColour = mode.interlaced;
    settings.ditherAlgorithm = kPerceptual;
    ImageDocument one = source;
    refinedDither(one, settings, mode.kind, mode.zoomX, mode.zoomY, 1);
    ColourSetTarget target;
    target.conversion = mode.kind == kDitherTwoColours ? SetConversion::kDitherTwoColours
                                                       : SetConversion::kDitherFourColours;
    target.choose = {true, true, true};
    target.zoomX = mode.zoomX;
    target.zoomY = mode.zoomY;
    EffectSettings chosenByOne = settings;
    ASSERT_TRUE(chooseColourSets(source, chosenByOne, target, 1).ok());
    for (int threads : {2, 7}) {
      ImageDocument many = source;
      refinedDither(many, settings, mode.kind, mode.zoomX, mode.zoomY, threads);
      EXPECT_EQ(many.pixels, one.pixels) << threads << " threads";
      EffectSettings chosen = settings;
      ASSERT_TRUE(chooseColourSets(source, chosen, target, threads).ok());
      EXPECT_EQ(chosen.colourChoices, chosenByOne.colourChoices) << threads << " threads";
    }
  }
}

// A change of the refined bytes of this small picture is noticed (16 colours, shown
// 2 x 1): update the sum only for a change meant to alter them.
TEST(RefinedDither, PinnedResultOfASmallPicture) {
  ImageDocument doc = plasmaPicture(40, 30);
  refinedDither(doc, EffectSettings{}, kDitherSixteenColours, 2, 1);
  uint32_t hash = 2166136261u;  // FNV-1a
  for (uint8_t byte : doc.pixels) hash = (hash ^ byte) * 16777619u;
  EXPECT_EQ(hash, 3336417899u);
}

// vizorka-cli: auto for a set, or alone for all; a set half auto is refused.
TEST(ColourSetSearch, CommandLineChoosesAutoSetsBeforeTheConversion) {
  const test::ScratchFolder scratch;
  const ImageDocument picture = blocksOf({9, 4, 10, 14}, 64, 48);
  const std::string input = scratch / "in.bmp", output = scratch / "out.bmp";
  ASSERT_TRUE(
      writeFileSafely(input, encodeBmp(picture, describeRender(picture, false).colourTable)).ok());
  const std::string cli = std::string(VIZORKA_CLI_PATH) + " " + input + " ";
  struct Case {
    std::string steps;
    int exitStatus;
    std::vector<ColourValue> palette;  // of the export, when it succeeds
  };
  const std::vector<ColourValue> found = {tvcColour(4), tvcColour(9), tvcColour(10), tvcColour(14)};
  const Case cases[] = {
      {"--colours auto --algorithm refined --dither 4", 0, found},
      {"--colours 0,15,auto,auto,auto,auto,0,11,7,15 --algorithm perceptual --dither 4", 0, found},
      {"--colours auto,auto,0,10,14,15,0,11,7,15 --algorithm perceptual --dither 4",
       0,
       {tvcColour(0), tvcColour(10), tvcColour(14), tvcColour(15)}},
      {"--colours auto,15,0,10,14,15,0,11,7,15 --dither 4", 2, {}},
      {"--colours auto,auto --dither 4", 2, {}},
      {"--colours -1,15,0,10,14,15,0,11,7,15 --dither 4", 2, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    std::remove(output.c_str());
    const int status = test::runCommand(cli + c.steps + " --export " + output + " 2>/dev/null");
    EXPECT_EQ(status, c.exitStatus);
    if (c.exitStatus != 0) continue;
    const test::RgbImage exported = test::imageMagickDecode(output);
    std::set<ColourValue> colours(exported.pixels.begin(), exported.pixels.end());
    EXPECT_EQ(colours, std::set<ColourValue>(c.palette.begin(), c.palette.end()));
  }
}

}  // namespace
}  // namespace vz
