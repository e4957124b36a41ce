#include <gtest/gtest.h>

#include "converter/colour/tvc_palette.h"

namespace vz {
namespace {

TEST(TvcPalette, ColoursHardwareBytesAndGreyLevels) {
  const ColourValue expected[16] = {0x000000, 0x910000, 0x000091, 0x910091, 0x009100, 0x919100,
                                    0x009191, 0x919191, 0x000000, 0xFF0000, 0x0000FF, 0xFF00FF,
                                    0x00FF00, 0xFFFF00, 0x00FFFF, 0xFFFFFF};
  const uint8_t hardware[16] = {0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15,
                                0x40, 0x41, 0x44, 0x45, 0x50, 0x51, 0x54, 0x55};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(tvcColour(i), expected[i]) << i;
    EXPECT_EQ(hardwareByteOf(i), hardware[i]) << i;
    EXPECT_EQ(tvcIndexOfHardwareByte(hardware[i]), i) << i;
    EXPECT_EQ(kTvcGreyLevels[static_cast<size_t>(i)], greyLevel(expected[i])) << i;
  }
  // Bits outside 0, 2, 4, 6 are ignored.
  EXPECT_EQ(tvcIndexOfHardwareByte(0xAA), 0);
  EXPECT_EQ(tvcIndexOfHardwareByte(0xFF), 15);
}

TEST(TvcPalette, ExactIndexPrefersTheFirstMatch) {
  EXPECT_EQ(tvcIndexOf(0x000000), 0);  // never 8
  EXPECT_EQ(tvcIndexOf(0xFFFFFF), 15);
  EXPECT_EQ(tvcIndexOf(0x123456), -1);
}

TEST(CmykForm, BlackIsOnlyDarknessAndKIsUnscaled) {
  const Cmyk black = cmykOf(0x000000);
  EXPECT_EQ(black.k, 255);
  EXPECT_EQ(black.c, 0);
  const Cmyk red = cmykOf(0x0000FF);
  EXPECT_EQ(red.k, 0);
  EXPECT_EQ(red.c, 0);
  EXPECT_EQ(red.m, 1);
  EXPECT_EQ(red.y, 1);
  const Cmyk darkRed = cmykOf(0x000091);
  EXPECT_EQ(darkRed.k, 255 - 0x91);
  EXPECT_DOUBLE_EQ(darkRed.m, 1.0);
}

TEST(NearestInList, MidGreyGoesToWhite) {
  const Cmyk forms[2] = {cmykOf(0x000000), cmykOf(0xFFFFFF)};
  EXPECT_EQ(nearestInList(0x808080, forms, 2), 1);  // k 127: 127^2 to white beats 128^2 to black
}

TEST(NearestInList, TiesGoToTheLowestIndex) {
  const ColourValue candidates[3] = {0x0000FF, 0x0000FF, 0x00FF00};
  const Cmyk forms[3] = {cmykOf(candidates[0]), cmykOf(candidates[1]), cmykOf(candidates[2])};
  EXPECT_EQ(nearestInList(0x0000F0, forms, 3), 0);
  // k 254 lies exactly between k 255 and k 253.
  const ColourValue greys[2] = {0x000000, 0x020202};
  const Cmyk greyForms[2] = {cmykOf(greys[0]), cmykOf(greys[1])};
  EXPECT_EQ(nearestInList(0x010101, greyForms, 2), 0);
}

TEST(NearestTvcColour, BlackAndWhiteAndPrimaries) {
  EXPECT_EQ(nearestTvcColour(0x000000), 0);
  EXPECT_EQ(nearestTvcColour(0xFFFFFF), 15);
  EXPECT_EQ(nearestTvcColour(0x0000FF), 10);
  EXPECT_EQ(nearestTvcColour(0x0000F0), 10);
  EXPECT_EQ(nearestTvcColour(0x000080), 2);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(nearestTvcColour(tvcColour(i)), i == 8 ? 0 : i);
}

TEST(ColourHistogram, CountsExactlyWidthPixelsPerRow) {
  ImageDocument mono;
  allocatePicture(mono, 10, 2, ColourMode::kColours2);
  mono.row(0)[0] = 0xFF;
  mono.row(0)[1] = 0xFF;  // only the two top bits count
  const ColourHistogram monoCounts = fillColourHistogram(mono);
  EXPECT_EQ(monoCounts[1], 10u);
  EXPECT_EQ(monoCounts[0], 10u);

  ImageDocument sixteen;
  allocatePicture(sixteen, 3, 1, ColourMode::kColours16);
  sixteen.row(0)[0] = 0x12;
  sixteen.row(0)[1] = 0x3F;  // the low nibble lies beyond the width
  const ColourHistogram counts = fillColourHistogram(sixteen);
  EXPECT_EQ(counts[1], 1u);
  EXPECT_EQ(counts[2], 1u);
  EXPECT_EQ(counts[3], 1u);
  EXPECT_EQ(counts[15], 0u);

  ImageDocument trueColour;
  allocatePicture(trueColour, 4, 4, ColourMode::kTrueColour);
  for (uint32_t c : fillColourHistogram(trueColour)) EXPECT_EQ(c, 0u);
}

}  // namespace
}  // namespace vz
