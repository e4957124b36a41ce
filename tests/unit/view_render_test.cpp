#include <gtest/gtest.h>

#include "converter/view/render.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

ImageDocument pictureWithPalette(ColourMode colourMode) {
  ImageDocument doc;
  allocatePicture(doc, 4, 2, colourMode);
  for (size_t i = 0; i < doc.palette.size(); ++i)
    doc.palette[i] = makeColour(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 0x91);
  return doc;
}

TEST(RenderDescription, BitDepthAndTableSizeForEveryMode) {
  struct Expected {
    ColourMode mode;
    int bits;
    size_t entries;
  };
  for (const Expected& e :
       {Expected{ColourMode::kTrueColour, 24, 0}, Expected{ColourMode::kColours2, 1, 2},
        Expected{ColourMode::kColours4, 4, 16}, Expected{ColourMode::kColours8, 4, 8},
        Expected{ColourMode::kColours16, 4, 16}, Expected{ColourMode::kColours32, 8, 32},
        Expected{ColourMode::kColours64, 8, 64}, Expected{ColourMode::kColours128, 8, 128},
        Expected{ColourMode::kColours256, 8, 256}}) {
    const RenderDescription d = describeRender(pictureWithPalette(e.mode), false);
    EXPECT_EQ(d.bitsPerPixel, e.bits) << e.mode;
    EXPECT_EQ(d.colourTable.size(), e.entries) << e.mode;
  }
}

TEST(RenderDescription, BlackAndWhiteViewShowsGreyLevels) {
  ImageDocument doc = pictureWithPalette(ColourMode::kColours16);
  doc.palette[0] = 0x0000FF;  // bright red: grey 76
  doc.palette[1] = 0x919191;  // grey 145
  doc.palette[2] = 0xFFFFFF;
  const RenderDescription d = describeRender(doc, true);
  EXPECT_EQ(d.colourTable[0], 0x4C4C4Cu);
  EXPECT_EQ(d.colourTable[1], 0x919191u);
  EXPECT_EQ(d.colourTable[2], 0xFFFFFFu);
  for (size_t i = 0; i < 16; ++i) {
    const int grey = greyLevel(doc.palette[i]);
    EXPECT_EQ(d.colourTable[i], makeColour(grey, grey, grey)) << i;
  }
}

TEST(RenderDescription, TrueColourIgnoresTheBlackAndWhiteView) {
  const RenderDescription d = describeRender(pictureWithPalette(ColourMode::kTrueColour), true);
  EXPECT_EQ(d.bitsPerPixel, 24);
  EXPECT_TRUE(d.colourTable.empty());
}

}  // namespace
}  // namespace vz
