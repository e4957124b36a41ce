// vizorka-cli runs the same conversions as the window, with its settings options
// applied in order: its output equals the conversions run here.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "converter/colour/conversions.h"
#include "converter/commands/commands.h"
#include "converter/formats/bmp_writer.h"
#include "converter/model/app_state.h"
#include "converter/model/file_io.h"
#include "converter/view/render.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

ImageDocument photoLikePicture(int32_t width, int32_t height) {
  ImageDocument doc;
  allocatePicture(doc, width, height, ColourMode::kTrueColour);
  std::mt19937 random(99);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = doc.row(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>(y * 255 / height);
      p[2] = static_cast<uint8_t>((x * y + random() % 16) & 255);
    }
  return doc;
}

class ColourCli : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of the test's own: ctest runs these tests side by side.
    input_ = scratch_ / "in.bmp";
    output_ = scratch_ / "out.bmp";
    picture_ = photoLikePicture(37, 23);
    ASSERT_TRUE(
        writeFileSafely(input_, encodeBmp(picture_, describeRender(picture_, false).colourTable))
            .ok());
  }
  // Runs the tool on the input; returns its standard output, or "exit N" on failure.
  std::string runCli(const std::string& steps) {
    const std::string command = std::string(VIZORKA_CLI_PATH) + " " + input_ + " " + steps;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "cannot run";
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    return status == 0 ? out : "exit " + std::to_string(status);
  }

  std::vector<uint8_t> exported() {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(readWholeFile(output_, bytes));
    return bytes;
  }

  const test::ScratchFolder scratch_;
  std::string input_, output_;
  ImageDocument picture_;
};

TEST_F(ColourCli, DitheringMatchesTheCommandsWithTheSameSettings) {
  struct Case {
    std::string options;
    void (*configure)(EffectSettings&);
    int kind;
  };
  const Case cases[] = {
      {"--dither 16", [](EffectSettings&) {}, kDitherSixteenColours},
      {"--algorithm ordered --predistort off --dither 2",
       [](EffectSettings& s) {
         s.ditherAlgorithm = kOrdered;
         s.preDistortion = false;
       },
       kDitherTwoColours},
      {"--interlace on --colours 0,15,1,2,3,4,5,6,7,8 --dither 4",
       [](EffectSettings& s) {
         s.interlacedFourColour = true;
         s.colourChoices = {0, 15, 1, 2, 3, 4, 5, 6, 7, 8};
       },
       kDitherFourColours},
      {"--algorithm perceptual --interlace on --dither 4",
       [](EffectSettings& s) {
         s.ditherAlgorithm = kPerceptual;
         s.interlacedFourColour = true;
       },
       kDitherFourColours},
  };
  for (const Case& c : cases) {
    AppState state;
    state.document = picture_;
    c.configure(state.effects);
    ditherCommand(state, c.kind);
    ASSERT_EQ(runCli(c.options + " --export " + output_), "") << c.options;
    EXPECT_EQ(exported(),
              encodeBmp(state.document, describeRender(state.document, false).colourTable))
        << c.options;
  }
}

TEST_F(ColourCli, NearestAndGreyReportTheirModesAndFlags) {
  const std::string nearest = runCli("--threshold 100 --nearest 2 --info");
  EXPECT_NE(nearest.find("\"colourMode\":2"), std::string::npos) << nearest;
  EXPECT_NE(nearest.find("\"tvcPicture\":0"), std::string::npos) << nearest;

  const std::string grey = runCli("--grey 16 --info");
  EXPECT_NE(grey.find("\"width\":18"), std::string::npos) << grey;  // pre-distorted
  EXPECT_NE(grey.find("\"colourMode\":16"), std::string::npos) << grey;
  EXPECT_NE(grey.find("\"tvcPicture\":1"), std::string::npos) << grey;
  EXPECT_NE(grey.find("\"zoomX\":2"), std::string::npos) << grey;

  const std::string interlaced = runCli("--interlace on --dither 4 --info");
  EXPECT_NE(interlaced.find("\"interlaced\":1"), std::string::npos) << interlaced;
  EXPECT_NE(interlaced.find("\"colourMode\":16"), std::string::npos) << interlaced;
}

// Halving stops at one row or column: the picture never ends up empty, and the
// conversions still work on it.
TEST_F(ColourCli, HalvingKeepsTheLastRowAndColumn) {
  const std::string rows = runCli("--halve v --halve v --halve v --halve v --halve v --info");
  EXPECT_NE(rows.find("\"height\":1,"), std::string::npos) << rows;
  const std::string columns =
      runCli("--halve h --halve h --halve h --halve h --halve h --halve h --dither 16 --info");
  EXPECT_NE(columns.find("\"width\":1,"), std::string::npos) << columns;
  EXPECT_NE(columns.find("\"colourMode\":16"), std::string::npos) << columns;
}

}  // namespace
}  // namespace vz
