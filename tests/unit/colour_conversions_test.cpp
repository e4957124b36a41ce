// The conversions' rules where they are easy to get wrong: ties, thresholds, row-end
// packing, which palette entries and flags change, and pictures they must leave alone.
#include <gtest/gtest.h>

#include "converter/colour/conversions.h"
#include "converter/colour/tvc_palette.h"
#include "converter/commands/commands.h"
#include "converter/model/app_state.h"

namespace vz {
namespace {

ImageDocument uniformTrueColour(int32_t width, int32_t height, ColourValue colour) {
  ImageDocument doc;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      doc.row(y)[3 * x] = blueOf(colour);
      doc.row(y)[3 * x + 1] = greenOf(colour);
      doc.row(y)[3 * x + 2] = redOf(colour);
    }
  return doc;
}

ImageDocument trueColourRow(const std::vector<ColourValue>& colours) {
  ImageDocument doc = uniformTrueColour(static_cast<int32_t>(colours.size()), 1, 0);
  for (size_t x = 0; x < colours.size(); ++x) {
    doc.row(0)[3 * x] = blueOf(colours[x]);
    doc.row(0)[3 * x + 1] = greenOf(colours[x]);
    doc.row(0)[3 * x + 2] = redOf(colours[x]);
  }
  return doc;
}

ImageDocument indexed(ColourMode mode, int32_t width, int32_t height,
                      const std::vector<uint8_t>& values) {
  ImageDocument doc;
  allocatePicture(doc, width, height, mode);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      setPackedPixel(doc.row(y), x, bitsPerPixel(mode),
                     values[static_cast<size_t>(y * width + x) % values.size()]);
  return doc;
}

int pixelAt(const ImageDocument& doc, int32_t x, int32_t y) {
  return getPackedPixel(doc.row(y), x, bitsPerPixel(doc.colourMode));
}

// A colour whose grey level is exactly g (found by search over neutral greys and
// near-neutral neighbours).
ColourValue colourOfGreyLevel(int g) {
  for (int v = 0; v < 256; ++v)
    for (int dr = 0; dr < 3; ++dr) {
      const ColourValue c = makeColour(static_cast<uint8_t>(std::min(255, v + dr)),
                                       static_cast<uint8_t>(v), static_cast<uint8_t>(v));
      if (greyLevel(c) == g) return c;
    }
  ADD_FAILURE() << "no colour of grey level " << g;
  return 0;
}

TEST(NearestTwoColours, ThresholdAndRowPacking) {
  EffectSettings settings;
  ImageDocument doc = trueColourRow({colourOfGreyLevel(128), colourOfGreyLevel(129), 0, 0, 0, 0, 0,
                                     0, 0xFFFFFF, colourOfGreyLevel(129)});
  doc.palette[2] = 0x123456;
  doc.interlaced = true;
  nearestColourConversion(doc, settings, 2);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours2);
  EXPECT_EQ(doc.rowStride, 4);
  EXPECT_EQ(doc.row(0)[0], 0x40);  // grey level 128 is not above the threshold, 129 is
  EXPECT_EQ(doc.row(0)[1], 0xC0);  // pixels 9 and 10 in the two top bits, the rest 0
  EXPECT_EQ(doc.palette[0], tvcColour(0));
  EXPECT_EQ(doc.palette[1], tvcColour(15));
  EXPECT_EQ(doc.palette[2], 0x123456u);
  EXPECT_FALSE(doc.interlaced);
}

TEST(NearestSixteenColours, PacksPairsAndMapsBlackToZero) {
  EffectSettings settings;
  ImageDocument doc = trueColourRow({0x000000, 0xFFFFFF, 0x0000FF});
  nearestColourConversion(doc, settings, 16);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_EQ(doc.rowStride, 4);
  EXPECT_EQ(doc.row(0)[0], 0x0F);
  EXPECT_EQ(doc.row(0)[1], 0xA0);  // bright red, then the empty low nibble
  for (int i = 0; i < 16; ++i) EXPECT_EQ(doc.palette[static_cast<size_t>(i)], tvcColour(i));
}

TEST(NearestConversions, LeaveModesTheyDoNotHandleUnchanged) {
  EffectSettings settings;
  for (int target : {2, 4, 16}) {
    const ImageDocument original = indexed(ColourMode::kColours2, 9, 2, {1, 0, 1});
    ImageDocument doc = original;
    nearestColourConversion(doc, settings, target);
    EXPECT_EQ(doc.pixels, original.pixels);
    EXPECT_EQ(doc.colourMode, ColourMode::kColours2);
  }
  const ImageDocument eight = indexed(ColourMode::kColours8, 5, 2, {7, 3});
  for (int target : {4, 16}) {
    ImageDocument doc = eight;
    nearestColourConversion(doc, settings, target);
    EXPECT_EQ(doc.pixels, eight.pixels);
    EXPECT_EQ(doc.colourMode, ColourMode::kColours8);
  }
}

TEST(NearestFourColours, RanksByCountAndFillsWithUnusedValues) {
  EffectSettings settings;
  ImageDocument doc = indexed(ColourMode::kColours16, 5, 1, {9, 3, 9, 9, 3});
  for (int i = 0; i < 16; ++i) doc.palette[static_cast<size_t>(i)] = tvcColour(i);
  doc.palette[3] = tvcColour(12);
  doc.palette[9] = tvcColour(10);
  doc.palette[0] = tvcColour(15);
  doc.palette[1] = tvcColour(1);
  doc.palette[5] = 0xABCDEF;
  nearestColourConversion(doc, settings, 4);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours4);
  // Slots: 9 (three times), 3 (twice), then the unused values 0 and 1.
  EXPECT_EQ(doc.palette[0], tvcColour(10));
  EXPECT_EQ(doc.palette[1], tvcColour(12));
  EXPECT_EQ(doc.palette[2], tvcColour(15));
  EXPECT_EQ(doc.palette[3], tvcColour(1));
  EXPECT_EQ(doc.palette[5], 0xABCDEFu);
  EXPECT_EQ(doc.row(0)[0], 0x01);
  EXPECT_EQ(doc.row(0)[1], 0x00);
  EXPECT_EQ(doc.row(0)[2] >> 4, 1);
}

TEST(NearestFourColours, FourColourPictureOnlySnapsItsPalette) {
  EffectSettings settings;
  ImageDocument doc = indexed(ColourMode::kColours4, 3, 1, {0, 1, 2});
  doc.palette[0] = 0x101010;
  doc.palette[1] = 0xF0F0F0;
  doc.interlaced = true;  // only pixel-changing cases clear it
  const std::vector<uint8_t> pixels = doc.pixels;
  nearestColourConversion(doc, settings, 4);
  EXPECT_EQ(doc.palette[0], tvcColour(0));
  EXPECT_EQ(doc.palette[1], tvcColour(15));
  EXPECT_EQ(doc.pixels, pixels);
  EXPECT_TRUE(doc.interlaced);
}

TEST(NearestCommand, FourColoursOfTrueColourGoesThroughSixteen) {
  AppState state;
  state.document =
      trueColourRow({0x0000FF, 0x0000FF, 0x0000FF, 0x00FF00, 0x00FF00, 0xFFFFFF, 0x000000});
  nearestCommand(state, 4);
  const ImageDocument& doc = state.document;
  EXPECT_EQ(doc.colourMode, ColourMode::kColours4);
  EXPECT_EQ(doc.palette[0], tvcColour(10));
  EXPECT_EQ(doc.palette[1], tvcColour(12));
  EXPECT_EQ(doc.palette[2], tvcColour(0));  // black and white once each: 0 ranks first
  EXPECT_EQ(doc.palette[3], tvcColour(15));
  EXPECT_EQ(doc.row(0)[0], 0x00);
  EXPECT_EQ(doc.row(0)[1], 0x01);
  EXPECT_EQ(doc.row(0)[2], 0x13);
  // The remap rewrites whole bytes, so the empty low nibble (0, black) maps too.
  EXPECT_EQ(doc.row(0)[3], 0x22);
}

int orderedMatrixValue(int x, int y) {
  static const int kMatrix[8][8] = {
      {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
      {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
      {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
      {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
  return kMatrix[x % 8][y % 8];
}

TEST(OrderedDither, TwoColoursOfWhiteLeaveOneDarkPixelPerBlock) {
  EffectSettings settings;
  ImageDocument doc = uniformTrueColour(16, 16, 0xFFFFFF);
  orderedDither(doc, settings, kDitherTwoColours);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours2);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      EXPECT_EQ(pixelAt(doc, x, y), (x % 8 == 7 && y % 8 == 0) ? 0 : 1) << x << "," << y;
}

TEST(OrderedDither, FourColoursFollowGreyPlusMatrix) {
  EffectSettings settings;
  ImageDocument light = uniformTrueColour(8, 8, colourOfGreyLevel(200));
  orderedDither(light, settings, kDitherFourColours);
  ImageDocument mid = uniformTrueColour(8, 8, colourOfGreyLevel(100));
  orderedDither(mid, settings, kDitherFourColours);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(pixelAt(light, x, y), 3);
      EXPECT_EQ(pixelAt(mid, x, y), orderedMatrixValue(x, y) < 28 ? 1 : 2);
    }
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(mid.palette[static_cast<size_t>(i)],
              tvcColour(settings.colourChoices[static_cast<size_t>(2 + i)]));
}

TEST(OrderedDither, SixteenColoursOfWhiteLoseIntensityWhereTheMatrixIs62) {
  EffectSettings settings;
  ImageDocument doc = uniformTrueColour(8, 8, 0xFFFFFF);
  doc.interlaced = true;
  orderedDither(doc, settings, kDitherSixteenColours);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const int m = orderedMatrixValue(x, y);
      EXPECT_EQ(pixelAt(doc, x, y), m == 63 ? 0 : (m == 62 ? 7 : 15));
    }
  EXPECT_FALSE(doc.interlaced);
}

TEST(FloydSteinberg, MidGreyStartsWhiteAndPushesTruncatedErrorRight) {
  EffectSettings settings;
  settings.colourChoices[0] = 2;
  settings.colourChoices[1] = 13;
  ImageDocument doc = uniformTrueColour(2, 1, 0x808080);
  floydSteinbergDither(doc, settings, kDitherTwoColours);
  // 128 - 127 * 7 / 16 = 73 (not 72): the second pixel is nearer black.
  EXPECT_EQ(doc.row(0)[0], 0x80);
  EXPECT_EQ(doc.palette[0], tvcColour(2));
  EXPECT_EQ(doc.palette[1], tvcColour(13));
  for (size_t i = 2; i < 16; ++i) EXPECT_EQ(doc.palette[i], 0u);
}

TEST(FloydSteinberg, FourColoursGreyOnlyTheChannelNoCandidateHas) {
  EffectSettings settings;  // 4-colour set black, bright red, bright yellow, white
  ImageDocument doc = trueColourRow({0xFF0000, 0x0000FF, 0x00FF00});
  floydSteinbergDither(doc, settings, kDitherFourColours);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours4);
  // Blue becomes grey level 28, nearest black; red stays red.
  EXPECT_EQ(pixelAt(doc, 0, 0), 0);
  EXPECT_EQ(pixelAt(doc, 1, 0), 1);
}

TEST(FloydSteinberg, InterlacedRowsUseTheEvenLineSet) {
  EffectSettings settings;
  settings.interlacedFourColour = true;
  ImageDocument doc = uniformTrueColour(5, 4, 0xFF00FF);  // bright magenta
  floydSteinbergDither(doc, settings, kDitherFourColours);
  EXPECT_EQ(doc.colourMode, ColourMode::kColours16);
  EXPECT_TRUE(doc.interlaced);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      if (y % 2)
        EXPECT_EQ(pixelAt(doc, x, y), 5);  // the even-line set's bright magenta
      else
        EXPECT_LT(pixelAt(doc, x, y), 4);
    }
  EXPECT_EQ(doc.palette[5], tvcColour(11));
  for (size_t i = 8; i < 16; ++i) EXPECT_EQ(doc.palette[i], 0u);

  // Without the setting the next run clears the flag again.
  settings.interlacedFourColour = false;
  ImageDocument plain = uniformTrueColour(5, 4, 0xFF00FF);
  plain.interlaced = true;
  floydSteinbergDither(plain, settings, kDitherFourColours);
  EXPECT_EQ(plain.colourMode, ColourMode::kColours4);
  EXPECT_FALSE(plain.interlaced);
}

TEST(Dithering, LeavesTwoColourAndEmptyPicturesAlone) {
  EffectSettings settings;
  for (auto dither : {floydSteinbergDither, orderedDither, perceptualDither})
    for (int kind = 0; kind < 3; ++kind) {
      const ImageDocument twoColours = indexed(ColourMode::kColours2, 9, 3, {1, 0, 0});
      ImageDocument doc = twoColours;
      dither(doc, settings, kind, 1);
      EXPECT_EQ(doc.pixels, twoColours.pixels);
      EXPECT_EQ(doc.colourMode, ColourMode::kColours2);

      ImageDocument empty;
      dither(empty, settings, kind, 1);
      EXPECT_TRUE(empty.pixels.empty());
    }
}

// Pre-distortion cannot halve a single row or column away: the picture keeps it and
// is converted.
TEST(Dithering, OneRowPictureKeepsItsRowThroughPreDistortion) {
  AppState state;
  state.document = uniformTrueColour(7, 1, 0x808080);
  ditherCommand(state, kDitherTwoColours);
  EXPECT_EQ(state.document.height, 1);
  EXPECT_EQ(state.document.colourMode, ColourMode::kColours2);
  EXPECT_EQ(state.view.zoomY, 2);
  EXPECT_TRUE(state.document.tvcPicture);

  AppState narrow;
  narrow.document = uniformTrueColour(1, 5, 0x808080);
  ditherCommand(narrow, kDitherSixteenColours);
  EXPECT_EQ(narrow.document.width, 1);
  EXPECT_EQ(narrow.document.colourMode, ColourMode::kColours16);
}

TEST(DitherCommand, PreDistortsTwoAndSixteenColoursOnly) {
  AppState state;
  state.document = uniformTrueColour(8, 6, 0x808080);
  ditherCommand(state, kDitherSixteenColours);
  EXPECT_EQ(state.document.width, 4);
  EXPECT_EQ(state.view.zoomX, 2);
  EXPECT_EQ(state.view.zoomY, 1);

  AppState four;
  four.document = uniformTrueColour(8, 6, 0x808080);
  four.effects.ditherAlgorithm = kOrdered;
  ditherCommand(four, kDitherFourColours);
  EXPECT_EQ(four.document.width, 8);
  EXPECT_EQ(four.document.height, 6);
  EXPECT_EQ(four.document.colourMode, ColourMode::kColours4);
  EXPECT_TRUE(four.document.tvcPicture);
}

TEST(GreyConversion, TiesGoToTheLowerIndex) {
  ImageDocument four = trueColourRow({colourOfGreyLevel(113), 0x000000});
  greyConversion(four, kFourGreys);
  EXPECT_EQ(four.colourMode, ColourMode::kColours4);
  EXPECT_EQ(four.row(0)[0], 0x10);  // bright green (150) beats bright red (76)
  EXPECT_EQ(four.palette[1], tvcColour(12));
  EXPECT_EQ(four.palette[2], tvcColour(10));

  ImageDocument sixteen = trueColourRow({colourOfGreyLevel(137), 0x000000, 0xFFFFFF});
  greyConversion(sixteen, kSixteenGreys);
  EXPECT_EQ(sixteen.colourMode, ColourMode::kColours16);
  EXPECT_EQ(sixteen.row(0)[0], 0x60);  // 137 lies between 129 and 145; black is 0, not 8
  EXPECT_EQ(sixteen.row(0)[1], 0xF0);
}

TEST(GreyConversion, PalettedModesOtherThan256AreLeftAlone) {
  for (ColourMode mode : {ColourMode::kColours2, ColourMode::kColours4, ColourMode::kColours16}) {
    const ImageDocument original = indexed(mode, 5, 2, {1, 0});
    for (int kind : {kFourGreys, kSixteenGreys}) {
      ImageDocument doc = original;
      greyConversion(doc, kind);
      EXPECT_EQ(doc.pixels, original.pixels);
      EXPECT_EQ(doc.colourMode, mode);
    }
  }
}

TEST(Grey256, AddsBlueLastForTrueColourButUsesTheGreyLevelForPalettes) {
  ImageDocument trueColour = uniformTrueColour(3, 1, 0x808080);
  grey256Conversion(trueColour);
  EXPECT_EQ(trueColour.colourMode, ColourMode::kColours256);
  EXPECT_EQ(trueColour.rowStride, 4);
  EXPECT_EQ(trueColour.row(0)[0], 127);
  EXPECT_EQ(trueColour.palette[200], 0xC8C8C8u);

  ImageDocument paletted = indexed(ColourMode::kColours256, 2, 1, {4, 4});
  paletted.palette[4] = 0x808080;
  grey256Conversion(paletted);
  EXPECT_EQ(paletted.row(0)[0], 128);
}

TEST(Halve, DropsTheOddLastRowOrColumnAndRoundsDown) {
  ImageDocument doc = uniformTrueColour(5, 3, 0);
  doc.row(0)[0] = 255;
  doc.row(1)[0] = 0;
  ImageDocument vertical = doc;
  halve(vertical, kHalveVertically);
  EXPECT_EQ(vertical.width, 5);
  EXPECT_EQ(vertical.height, 1);
  EXPECT_EQ(vertical.rowStride, 16);
  EXPECT_EQ(vertical.row(0)[0], 127);
  EXPECT_EQ(vertical.pictureSize(), 16);  // the buffer of the one row left

  doc.row(0)[3] = 0;
  ImageDocument horizontal = doc;
  halve(horizontal, kHalveHorizontally);
  EXPECT_EQ(horizontal.width, 2);
  EXPECT_EQ(horizontal.height, 3);
  EXPECT_EQ(horizontal.rowStride, 8);
  EXPECT_EQ(horizontal.row(0)[0], 127);
  EXPECT_EQ(horizontal.pixels.size(), 24u);

  ImageDocument paletted = indexed(ColourMode::kColours16, 4, 4, {1});
  halve(paletted, kHalveVertically);
  EXPECT_EQ(paletted.height, 4);
}

TEST(PaletteRemap, ExchangesAndMergesValuesWithTheirColours) {
  ImageDocument doc = indexed(ColourMode::kColours4, 5, 1, {0, 1, 2, 3, 1});
  for (size_t i = 0; i < 4; ++i) doc.palette[i] = tvcColour(static_cast<int>(i + 9));
  ImageDocument swapped = doc;
  paletteRemap(swapped, {1, 0, 2, 3});
  EXPECT_EQ(swapped.row(0)[0], 0x10);
  EXPECT_EQ(swapped.row(0)[1], 0x23);
  EXPECT_EQ(swapped.row(0)[2], 0x01);  // whole bytes are rewritten, the empty nibble too
  EXPECT_EQ(swapped.palette[0], tvcColour(10));
  EXPECT_EQ(swapped.palette[1], tvcColour(9));

  ImageDocument merged = doc;
  paletteRemap(merged, {0, 0, 2, 3});
  EXPECT_EQ(merged.row(0)[0], 0x00);
  EXPECT_EQ(merged.palette[0], tvcColour(10));
  EXPECT_EQ(merged.palette[1], tvcColour(10));
}

TEST(PaletteRemap, TwoColourExchangeInvertsAndIdentityDoesNothing) {
  ImageDocument doc = indexed(ColourMode::kColours2, 10, 1, {1, 0, 0});
  doc.palette[0] = 0x111111;
  doc.palette[1] = 0x222222;
  const ImageDocument original = doc;
  paletteRemap(doc, {0, 1, 2, 3});
  EXPECT_EQ(doc.pixels, original.pixels);
  paletteRemap(doc, {1, 0, 0, 0});
  EXPECT_EQ(doc.row(0)[0], static_cast<uint8_t>(~original.row(0)[0]));
  EXPECT_EQ(doc.row(0)[1], static_cast<uint8_t>(~original.row(0)[1]));
  EXPECT_EQ(doc.row(0)[2], original.row(0)[2]);
  EXPECT_EQ(doc.palette[0], 0x222222u);
  EXPECT_EQ(doc.palette[1], 0x111111u);
}

}  // namespace
}  // namespace vz
