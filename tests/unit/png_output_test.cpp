// PNG from vizorka-cli: --export as the document, --preview as the window shows it.
// ImageMagick reads the files back.
#include <gtest/gtest.h>

#include "converter/formats/bmp.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

const std::string kCli = VIZORKA_CLI_PATH;
const std::string kSample = std::string(VIZORKA_SOURCE_DIR) + "/samples/sample.bmp";

ImageDocument readBmpFile(const std::string& path) {
  const std::vector<uint8_t> bytes = test::readFileBytes(path);
  ImageDocument doc;
  EXPECT_EQ(readBmp(bytes.size(), bytes.data(), doc), StatusCode::kOk) << path;
  return doc;
}

// The PNG header's bit depth and colour type (3 palette, 2 RGB).
std::pair<int, int> pngDepthAndType(const std::string& path) {
  const std::vector<uint8_t> bytes = test::readFileBytes(path);
  if (bytes.size() < 26) return {0, 0};
  return {bytes[24], bytes[25]};
}

// Every kind of document: the PNG holds the same colours as the BMP export, indexed
// ones as a palette PNG in their own depth, true colour as 8-bit RGB.
TEST(PngExport, SameColoursAsTheBmpExport) {
  const struct {
    const char* steps;
    std::pair<int, int> depthAndType;
  } cases[] = {
      {"", {8, 2}},           {"--dither 16", {4, 3}},
      {"--dither 2", {1, 3}}, {"--nearest 4", {4, 3}},
      {"--grey 256", {8, 3}}, {"--crop 3,5,17,9 --resize 40,30,fill", {8, 2}},
  };
  const test::ScratchFolder scratch;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    const std::string bmp = scratch / "out.bmp";
    const std::string png = scratch / "out.png";
    ASSERT_EQ(test::runCommand(kCli + " '" + kSample + "' " + c.steps + " --export " + bmp +
                               " --export " + png),
              0);
    EXPECT_EQ(pngDepthAndType(png), c.depthAndType);
    const test::RgbImage fromPng = test::imageMagickDecode(png);
    EXPECT_TRUE(test::sameColours(readBmpFile(bmp), fromPng));
  }
}

// The preview repeats every pixel zoomX x zoomY times in the colours the window shows:
// a 16-colour TVC picture at 2 x 1, a 2-colour one at 1 x 2, grey levels in the
// black-and-white view of 4 greys, and a resized picture back at 1 x 1.
TEST(Preview, SizeAndColoursAsTheWindowShowsThem) {
  const struct {
    const char* steps;
    int zoomX, zoomY;
    bool greyView;
  } cases[] = {
      {"--dither 16", 2, 1, false},
      {"--dither 2", 1, 2, false},
      {"--grey 4", 1, 1, true},
      {"--dither 16 --resize 50,40,stretch", 1, 1, false},
  };
  const test::ScratchFolder scratch;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    const std::string bmp = scratch / "document.bmp";
    const std::string png = scratch / "preview.png";
    ASSERT_EQ(test::runCommand(kCli + " '" + kSample + "' " + c.steps + " --export " + bmp +
                               " --preview " + png),
              0);
    const ImageDocument doc = readBmpFile(bmp);
    const test::RgbImage preview = test::imageMagickDecode(png);
    ASSERT_EQ(preview.width, doc.width * c.zoomX);
    ASSERT_EQ(preview.height, doc.height * c.zoomY);
    int mismatches = 0;
    for (int y = 0; y < preview.height; ++y)
      for (int x = 0; x < preview.width; ++x) {
        ColourValue shown = test::documentColour(doc, x / c.zoomX, y / c.zoomY);
        if (c.greyView) {
          const auto grey = static_cast<uint8_t>(greyLevel(shown));
          shown = makeColour(grey, grey, grey);
        }
        mismatches += preview.at(x, y) != shown;
      }
    EXPECT_EQ(mismatches, 0);
  }
}

}  // namespace
}  // namespace vz
