#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "converter/colour/conversions.h"
#include "converter/colour/resize.h"
#include "converter/commands/commands.h"
#include "converter/commands/resize_dialog_model.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

constexpr ResizeMode kFit = ResizeMode::kFit;
constexpr ResizeMode kFill = ResizeMode::kFill;
constexpr ResizeMode kStretch = ResizeMode::kStretch;

void expectPlan(const ResizePlan& plan, const ResizePlan& expected) {
  EXPECT_EQ(plan.width, expected.width);
  EXPECT_EQ(plan.height, expected.height);
  EXPECT_DOUBLE_EQ(plan.left, expected.left);
  EXPECT_DOUBLE_EQ(plan.top, expected.top);
  EXPECT_DOUBLE_EQ(plan.sourceWidth, expected.sourceWidth);
  EXPECT_DOUBLE_EQ(plan.sourceHeight, expected.sourceHeight);
}

TEST(Resize, OutputSizeAndSourceRectangleOfEveryMode) {
  const struct {
    int32_t w, h, targetWidth, targetHeight;
    ResizeMode mode;
    ResizePlan plan;
  } cases[] = {
      {4000, 3000, 256, 240, kFit, {256, 192, 0, 0, 4000, 3000}},
      {3000, 4000, 256, 240, kFit, {180, 240, 0, 0, 3000, 4000}},
      {1, 1, 256, 240, kFit, {240, 240, 0, 0, 1, 1}},
      {1, 1, 1, 1, kFit, {1, 1, 0, 0, 1, 1}},
      {3, 1, 2, 2, kFit, {2, 1, 0, 0, 3, 1}},  // 2/3 rounds to 1
      {3, 2, 65535, 1, kFit, {2, 1, 0, 0, 3, 2}},
      {1000, 10, 1, 1, kFit, {1, 1, 0, 0, 1000, 10}},  // 0.01 high, at least 1
      {10, 1000, 1, 5, kFit, {1, 5, 0, 0, 10, 1000}},
      {5, 3, 1, 1, kStretch, {1, 1, 0, 0, 5, 3}},
      {1, 1, 65535, 7, kStretch, {65535, 7, 0, 0, 1, 1}},
      {4000, 3000, 256, 240, kFill, {256, 240, 400, 0, 3200, 3000}},
      {3000, 4000, 256, 240, kFill, {256, 240, 0, 593.75, 3000, 2812.5}},
      {7, 3, 1, 1, kFill, {1, 1, 2, 0, 3, 3}},
      {1, 1, 1, 1, kFill, {1, 1, 0, 0, 1, 1}},
      {1, 1, 3, 1, kFill, {3, 1, 0, 1.0 / 3, 1, 1.0 / 3}},
  };
  for (const auto& c : cases) {
    const ResizePlan plan = planResize(c.w, c.h, {c.targetWidth, c.targetHeight, c.mode});
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " to " << c.targetWidth << ","
                                    << c.targetHeight << " mode " << static_cast<int>(c.mode));
    expectPlan(plan, c.plan);
  }
}

// The definition, plainly in double precision: every output pixel is the area-weighted
// mean of the source pixels under it, in linear light.
double decodeReference(int sample) {
  const double c = sample / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int encodeReference(double v) {
  const double c = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return std::clamp(static_cast<int>(std::floor(c * 255 + 0.5)), 0, 255);
}

test::RgbImage referenceResize(const ImageDocument& doc, const ResizeTarget& target) {
  const double w = doc.width, h = doc.height, tw = target.width, th = target.height;
  double left = 0, top = 0, sourceWidth = w, sourceHeight = h;
  if (target.mode == ResizeMode::kFill && w * th > tw * h) {
    sourceWidth = h * tw / th;
    left = (w - sourceWidth) / 2;
  } else if (target.mode == ResizeMode::kFill) {
    sourceHeight = w * th / tw;
    top = (h - sourceHeight) / 2;
  }
  const ResizePlan plan = planResize(doc.width, doc.height, target);
  test::RgbImage out;
  out.width = plan.width;
  out.height = plan.height;
  for (int j = 0; j < plan.height; ++j) {
    const double y0 = top + sourceHeight * j / plan.height;
    const double y1 = top + sourceHeight * (j + 1) / plan.height;
    for (int i = 0; i < plan.width; ++i) {
      const double x0 = left + sourceWidth * i / plan.width;
      const double x1 = left + sourceWidth * (i + 1) / plan.width;
      double sum[3] = {0, 0, 0}, area = 0;
      for (int q = static_cast<int>(y0); q < std::min(h, std::ceil(y1)); ++q)
        for (int p = static_cast<int>(x0); p < std::min(w, std::ceil(x1)); ++p) {
          const double part = (std::min(p + 1.0, x1) - std::max(1.0 * p, x0)) *
                              (std::min(q + 1.0, y1) - std::max(1.0 * q, y0));
          if (part <= 0) continue;
          const ColourValue colour = test::documentColour(doc, p, q);
          sum[0] += part * decodeReference(redOf(colour));
          sum[1] += part * decodeReference(greenOf(colour));
          sum[2] += part * decodeReference(blueOf(colour));
          area += part;
        }
      out.pixels.push_back(makeColour(static_cast<uint8_t>(encodeReference(sum[0] / area)),
                                      static_cast<uint8_t>(encodeReference(sum[1] / area)),
                                      static_cast<uint8_t>(encodeReference(sum[2] / area))));
    }
  }
  return out;
}

ImageDocument randomPicture(int32_t width, int32_t height, ColourMode colourMode, uint32_t seed) {
  std::mt19937 random(seed);
  ImageDocument doc;
  allocatePicture(doc, width, height, colourMode);
  for (uint8_t& byte : doc.pixels) byte = static_cast<uint8_t>(random());
  for (ColourValue& colour : doc.palette) colour = random() & 0xFFFFFF;
  doc.tvcPicture = doc.interlaced = colourMode != ColourMode::kTrueColour;
  return doc;
}

// Largest difference of any sample between the document and the reference.
int largestDifference(const ImageDocument& doc, const test::RgbImage& reference) {
  int largest = 0;
  for (int y = 0; y < reference.height; ++y)
    for (int x = 0; x < reference.width; ++x) {
      const ColourValue ours = test::documentColour(doc, x, y);
      const ColourValue theirs = reference.at(x, y);
      for (int shift : {0, 8, 16})
        largest = std::max(largest, std::abs(static_cast<int>((ours >> shift) & 0xFF) -
                                             static_cast<int>((theirs >> shift) & 0xFF)));
    }
  return largest;
}

// Random pictures of every kind, shrunk and enlarged in every mode (and one large
// enough to be shared out among threads): every sample within 1 of the reference.
TEST(Resize, EverySampleWithinOneOfTheDoublePrecisionDefinition) {
  const struct {
    int32_t width, height;
    ColourMode colourMode;
    ResizeTarget target;
  } cases[] = {
      {37, 23, ColourMode::kTrueColour, {11, 7, kStretch}},
      {37, 23, ColourMode::kTrueColour, {100, 61, kStretch}},
      {50, 20, ColourMode::kTrueColour, {16, 16, kFill}},
      {20, 50, ColourMode::kTrueColour, {16, 17, kFill}},
      {64, 48, ColourMode::kTrueColour, {30, 30, kFit}},
      {1, 1, ColourMode::kTrueColour, {5, 3, kStretch}},
      {9, 13, ColourMode::kTrueColour, {1, 1, kStretch}},
      {33, 7, ColourMode::kColours2, {12, 12, kFill}},
      {40, 30, ColourMode::kColours4, {17, 13, kStretch}},
      {41, 29, ColourMode::kColours16, {90, 70, kFit}},
      {30, 31, ColourMode::kColours256, {7, 9, kStretch}},
      {1200, 900, ColourMode::kTrueColour, {256, 240, kFit}},
      {300, 200, ColourMode::kColours16, {1000, 700, kFill}},
  };
  uint32_t seed = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " mode " << c.colourMode
                                    << " to " << c.target.width << "," << c.target.height);
    ImageDocument doc = randomPicture(c.width, c.height, c.colourMode, seed++);
    const test::RgbImage reference = referenceResize(doc, c.target);
    ASSERT_TRUE(resizePicture(doc, c.target).ok());
    ASSERT_EQ(doc.width, reference.width);
    ASSERT_EQ(doc.height, reference.height);
    EXPECT_EQ(doc.colourMode, ColourMode::kTrueColour);
    EXPECT_FALSE(doc.tvcPicture || doc.interlaced);
    EXPECT_LE(largestDifference(doc, reference), 1);
  }
}

// Black and white one-pixel stripes, two to an output pixel, average to the grey the
// eye sees from afar (188), not the 128 of averaging the encoded values.
TEST(Resize, StripesAverageInLinearLight) {
  ImageDocument doc;
  allocatePicture(doc, 64, 8, ColourMode::kColours2);
  doc.palette[1] = 0xFFFFFF;
  for (int y = 0; y < 8; ++y) std::fill(doc.row(y), doc.row(y) + 8, 0x55);  // 0101...
  ASSERT_EQ(referenceResize(doc, {32, 8, ResizeMode::kStretch}).at(5, 5), 0xBCBCBCu);
  ASSERT_TRUE(resizePicture(doc, {32, 8, ResizeMode::kStretch}).ok());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32 * 3; ++x) EXPECT_NEAR(doc.row(y)[x], 188, 1) << x << "," << y;
}

class SilentPrompts : public UserPrompts {
  void showError(const std::string&, const std::string&) override {}
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  Answer askYesNoCancel(const std::string&, const std::string&) override { return Answer::kCancel; }
};

// Fit and fill take the shape as shown: a 160 x 240 picture shown 2 x 1 is as wide as
// it is 320 x 240, and a 512 x 240 one shown 1 x 2 is 512 x 480. The source rectangle
// comes back in the picture's own pixels; stretch and a uniform zoom are as before.
TEST(Resize, FitAndFillByTheShownShape) {
  const struct {
    int32_t w, h;
    int zoomX, zoomY;
    ResizeTarget target;
    ResizePlan plan;
  } cases[] = {
      {160, 240, 2, 1, {320, 240, kFit}, {320, 240, 0, 0, 160, 240}},
      {160, 240, 2, 1, {256, 240, kFit}, {256, 192, 0, 0, 160, 240}},
      {160, 240, 2, 1, {240, 240, kFill}, {240, 240, 20, 0, 120, 240}},
      {160, 240, 2, 1, {50, 60, kStretch}, {50, 60, 0, 0, 160, 240}},
      {512, 240, 1, 2, {256, 240, kFit}, {256, 240, 0, 0, 512, 240}},
      {512, 240, 1, 2, {512, 240, kFill}, {512, 240, 0, 60, 512, 120}},
      {512, 240, 1, 2, {512, 480, kFill}, {512, 480, 0, 0, 512, 240}},
      {64, 48, 2, 2, {30, 30, kFit}, {30, 23, 0, 0, 64, 48}},
      {64, 48, 0, -1, {30, 30, kFit}, {30, 23, 0, 0, 64, 48}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " shown " << c.zoomX << "x" << c.zoomY
                                    << " to " << c.target.width << "," << c.target.height);
    const ResizePlan plan = planShownResize(c.w, c.h, c.zoomX, c.zoomY, c.target);
    expectPlan(plan, c.plan);
  }
  // Shown 2 x 1, the picture fills a target of the shown shape as the definition says.
  ImageDocument picture = randomPicture(40, 60, ColourMode::kColours16, 21);
  ImageDocument wide;
  allocatePicture(wide, 80, 60, ColourMode::kTrueColour);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) {
      const ColourValue colour = test::documentColour(picture, x / 2, y);
      uint8_t* p = wide.row(y) + 3 * x;
      p[0] = blueOf(colour);
      p[1] = greenOf(colour);
      p[2] = redOf(colour);
    }
  const test::RgbImage reference = referenceResize(wide, {33, 25, kFit});
  ASSERT_TRUE(resizePicture(picture, {33, 25, kFit}, 2, 1).ok());
  ASSERT_EQ(picture.width, 33);
  ASSERT_EQ(picture.height, 25);
  EXPECT_LE(largestDifference(picture, reference), 1);
}

// The command takes the zoom the view shows, for the window and vizorka-cli alike, and
// the result is shown at 1 x 1.
TEST(Resize, CommandResizesWhatTheViewShows) {
  const struct {
    int8_t zoomX, zoomY;
    int32_t width, height;
  } cases[] = {{2, 1, 320, 240}, {1, 2, 160, 480}, {1, 1, 320, 480}};
  for (const auto& c : cases) {
    AppState state;
    state.document = randomPicture(160, 240, ColourMode::kColours16, 3);
    state.view.zoomX = c.zoomX;
    state.view.zoomY = c.zoomY;
    EXPECT_EQ(shownSizeText(shownSizeOf(state)),
              std::to_string(160 * c.zoomX) + " × " + std::to_string(240 * c.zoomY) + " képpont");
    SilentPrompts prompts;
    ASSERT_TRUE(resizeCommand(state, {320, 480, ResizeMode::kFit}, prompts).status.ok());
    EXPECT_EQ(state.document.width, c.width) << int{c.zoomX} << "x" << int{c.zoomY};
    EXPECT_EQ(state.document.height, c.height) << int{c.zoomX} << "x" << int{c.zoomY};
    EXPECT_EQ(state.view.zoomX * 10 + state.view.zoomY, 11);
  }
  // A 16-colour dither shows its 160 x 240 picture 2 x 1; fitted into 320 x 240 it fills it.
  std::string info;
  ASSERT_EQ(test::runCommand(std::string(VIZORKA_CLI_PATH) +
                                 " '" VIZORKA_SOURCE_DIR
                                 "/samples/sample.bmp' --resize 320,240,stretch --dither 16 "
                                 "--resize 320,240 --info",
                             &info),
            0);
  EXPECT_NE(info.find("\"width\":320,\"height\":240,"), std::string::npos) << info;
}

// The aspect lock keeps the shown shape (320 x 240 here), rounding halves up; it leaves
// a field that is no size, and everything while it is off.
TEST(ResizeDialog, AspectLock) {
  const ShownSize source{320, 240};
  const struct {
    bool keepAspect;
    bool widthTyped;
    const char* width;
    const char* height;
    const char* otherAfter;
  } cases[] = {
      {true, true, "100", "9", "75"}, {true, false, "9", "100", "133"},
      {true, true, "2", "9", "2"},    {true, false, "9", "1", "1"},  // 1.33 and 0.75
      {true, true, "", "9", "9"},     {true, true, "x", "9", "9"},
      {false, true, "100", "9", "9"}, {true, true, " 64 ", "9", "48"},
  };
  for (const auto& c : cases) {
    ResizeControls controls{c.width, c.height, ResizeMode::kStretch, c.keepAspect};
    if (c.widthTyped)
      widthEdited(controls, source);
    else
      heightEdited(controls, source);
    EXPECT_EQ(c.widthTyped ? controls.heightText : controls.widthText, c.otherAfter)
        << c.width << " x " << c.height;
  }
  ResizeControls tall{"70", "", ResizeMode::kFit, true};
  widthEdited(tall, {1, 1000});
  EXPECT_EQ(tall.heightText, "70000");  // too tall: OK refuses it
  ResizeTarget target;
  EXPECT_FALSE(resizeTargetOf(tall, target));
  const ResizeControls opening = initialResizeControls(EffectSettings{});
  EXPECT_EQ(opening.widthText + " " + opening.heightText, "256 240");
  EXPECT_TRUE(opening.keepAspect);
}

// Each preset, resized into and dithered with the same settings, gives the TVC screen's
// own pixels: 128 x 240 (16 colours), 256 x 240 (4) and 512 x 240 (2).
TEST(ResizeDialog, PresetsGiveTheScreenAfterTheDither) {
  const struct {
    ResizePreset preset;
    bool preDistortion;
    const char* size;
    int ditherKind;
    int32_t width, height;
    int zoom;  // zoomX * 10 + zoomY after the dither
  } cases[] = {
      {ResizePreset::kFourAndSixteenColours, true, "256 240", kDitherSixteenColours, 128, 240, 21},
      {ResizePreset::kFourAndSixteenColours, true, "256 240", kDitherFourColours, 256, 240, 11},
      {ResizePreset::kTwoColours, true, "512 480", kDitherTwoColours, 512, 240, 12},
      {ResizePreset::kFourAndSixteenColours, false, "128 240", kDitherSixteenColours, 128, 240, 11},
      {ResizePreset::kTwoColours, false, "512 240", kDitherTwoColours, 512, 240, 11},
  };
  for (const auto& c : cases) {
    AppState state;
    state.effects.preDistortion = c.preDistortion;
    state.document = randomPicture(300, 200, ColourMode::kTrueColour, 8);
    ResizeControls controls = initialResizeControls(state.effects);
    controls.mode = ResizeMode::kFill;
    choosePreset(controls, c.preset, state.effects);
    EXPECT_EQ(controls.widthText + " " + controls.heightText, c.size);
    ResizeTarget target;
    ASSERT_TRUE(resizeTargetOf(controls, target));
    SilentPrompts prompts;
    resizeCommand(state, target, prompts);
    ditherCommand(state, c.ditherKind);
    EXPECT_EQ(state.document.width, c.width) << c.size << " kind " << c.ditherKind;
    EXPECT_EQ(state.document.height, c.height) << c.size << " kind " << c.ditherKind;
    EXPECT_EQ(state.view.zoomX * 10 + state.view.zoomY, c.zoom) << c.size;
  }
}

}  // namespace
}  // namespace vz
