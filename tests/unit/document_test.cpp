#include <gtest/gtest.h>

#include <set>

#include "converter/model/app_state.h"
#include "converter/model/document.h"

namespace vz {
namespace {

TEST(GreyLevel, KnownColours) {
  EXPECT_EQ(greyLevel(0xFFFFFF), 255);
  EXPECT_EQ(greyLevel(0x919191), 145);
  EXPECT_EQ(greyLevel(0x0000FF), 76);   // bright red
  EXPECT_EQ(greyLevel(0x00FF00), 150);  // bright green
  EXPECT_EQ(greyLevel(0x000000), 0);
}

// The weights have no exact double form, so these neutral greys lose one level.
TEST(GreyLevel, NeutralGreysThatLoseOneLevel) {
  const std::set<int> losing = {23,  41,  46,  55,  63,  82,  92,  97,  101, 110, 111, 126, 159,
                                164, 184, 189, 194, 197, 202, 209, 220, 222, 237, 245, 247, 252};
  for (int v = 0; v < 256; ++v) {
    const int expected = losing.count(v) ? v - 1 : v;
    EXPECT_EQ(greyLevelOf(v, v, v), expected) << "v = " << v;
  }
}

TEST(RowStride, EveryColourModePadsToFourBytes) {
  EXPECT_EQ(rowStrideFor(ColourMode::kColours2, 1), 4);
  EXPECT_EQ(rowStrideFor(ColourMode::kColours2, 33), 8);
  EXPECT_EQ(rowStrideFor(ColourMode::kTrueColour, 5), 16);
  EXPECT_EQ(rowStrideFor(ColourMode::kTrueColour, 4), 12);
  EXPECT_EQ(rowStrideFor(ColourMode::kColours4, 9), 8);
  EXPECT_EQ(rowStrideFor(ColourMode::kColours16, 8), 4);
  EXPECT_EQ(rowStrideFor(ColourMode::kColours8, 3), 4);
  EXPECT_EQ(rowStrideFor(ColourMode::kColours256, 5), 8);
  EXPECT_EQ(rowStrideFor(ColourMode::kColours64, 4), 4);
  EXPECT_EQ(rowStrideFor(static_cast<ColourMode>(3), 4), -1);
  EXPECT_EQ(rowStrideFor(ColourMode::kTrueColour, -1), -1);
  EXPECT_EQ(rowStrideFor(ColourMode::kTrueColour, 0x7FFFFFFF), -1);  // would not fit 31 bits
}

TEST(PackedPixels, BitAndNibblePositions) {
  uint8_t row[4] = {};
  setPackedPixel(row, 0, 1, 1);
  setPackedPixel(row, 9, 1, 1);
  EXPECT_EQ(row[0], 0x80);
  EXPECT_EQ(row[1], 0x40);
  EXPECT_EQ(getPackedPixel(row, 9, 1), 1);
  EXPECT_EQ(getPackedPixel(row, 8, 1), 0);
  setPackedPixel(row, 9, 1, 0);
  EXPECT_EQ(row[1], 0x00);

  uint8_t nibbles[4] = {0xAB, 0xCD, 0, 0};
  EXPECT_EQ(getPackedPixel(nibbles, 3, 4), 0x0D);  // low nibble of the second byte
  EXPECT_EQ(getPackedPixel(nibbles, 2, 4), 0x0C);
  setPackedPixel(nibbles, 3, 4, 0x7);
  EXPECT_EQ(nibbles[1], 0xC7);
  setPackedPixel(nibbles, 0, 4, 0x1);
  EXPECT_EQ(nibbles[0], 0x1B);
}

TEST(AllocatePicture, ZeroedBufferAndRefusedSizes) {
  ImageDocument doc;
  EXPECT_EQ(allocatePicture(doc, 5, 3, ColourMode::kTrueColour), 48);
  EXPECT_EQ(doc.rowStride, 16);
  EXPECT_EQ(doc.pixels.size(), 48u);
  for (uint8_t b : doc.pixels) EXPECT_EQ(b, 0);
  ImageDocument big;
  EXPECT_EQ(allocatePicture(big, 3000000, 2000000, ColourMode::kTrueColour), 0);
  EXPECT_EQ(big.pixels.size(), 0u);
  EXPECT_EQ(allocatePicture(big, 10, 10, static_cast<ColourMode>(5)), 0);
}

TEST(SettingsDefaults, ResetColoursAndThresholdOnly) {
  EffectSettings settings;
  settings.colourChoices.fill(3);
  settings.threshold = 7;
  settings.ditherAlgorithm = kOrdered;
  settings.preDistortion = false;
  settings.cropWidth = 12;
  applySettingsDefaults(settings);
  const std::array<uint8_t, 10> defaults{0, 15, 0, 10, 14, 15, 0, 11, 7, 15};
  EXPECT_EQ(settings.colourChoices, defaults);
  EXPECT_EQ(settings.threshold, 128);
  EXPECT_EQ(settings.ditherAlgorithm, kOrdered);
  EXPECT_FALSE(settings.preDistortion);
  EXPECT_EQ(settings.cropWidth, 12);
}

}  // namespace
}  // namespace vz
