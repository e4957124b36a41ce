// Tone: the arithmetic to the value, ImageMagick's gamma as a judge, pictures and
// palettes, the dialog's preview, OK and Mégse, and the command in the window's history
// and on the command line.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <random>
#include <string>

#include "converter/colour/tone.h"
#include "converter/commands/command_table.h"
#include "converter/commands/history.h"
#include "converter/commands/tone_dialog_model.h"
#include "converter/formats/bmp.h"
#include "converter/formats/bmp_writer.h"
#include "converter/view/render.h"
#include "tests/unit/test_support.h"

namespace vz {
namespace {

ToneSettings tone(int brightness, int contrast, int gammaHundredths, int saturation) {
  ToneSettings settings;
  settings.brightness = brightness;
  settings.contrast = contrast;
  settings.gammaHundredths = gammaHundredths;
  settings.saturation = saturation;
  return settings;
}

// Worked out with exact fractions and whole-number powers, independently of the code.
TEST(Tone, ValuesOfTheDefinition) {
  const struct {
    uint8_t in[3];  // red, green, blue
    int brightness, contrast, gamma, saturation;
    uint8_t out[3];
  } cases[] = {
      {{0, 100, 250}, 0, 0, 100, 100, {0, 100, 250}},
      {{0, 100, 250}, 10, 0, 100, 100, {26, 126, 255}},  // +25.5, halves up
      {{0, 100, 250}, -10, 0, 100, 100, {0, 75, 225}},
      {{3, 200, 255}, -100, 0, 100, 100, {0, 0, 0}},
      {{0, 1, 2}, 100, 0, 100, 100, {255, 255, 255}},
      {{100, 128, 200}, 0, 50, 100, 100, {45, 129, 255}},   // slope 3 about 127.5
      {{0, 255, 100}, 0, -50, 100, 100, {85, 170, 118}},    // slope 1/3
      {{127, 128, 102}, 0, 100, 100, 100, {0, 255, 0}},     // a step at mid-grey
      {{102, 101, 103}, 10, 100, 100, 100, {128, 0, 255}},  // 102 + 25.5 is mid-grey itself
      {{0, 77, 255}, 0, -100, 100, 100, {128, 128, 128}},
      {{64, 128, 200}, 0, 0, 200, 100, {128, 181, 226}},
      {{64, 128, 200}, 0, 0, 50, 100, {16, 64, 157}},
      {{64, 128, 200}, 0, 0, 20, 100, {0, 8, 76}},
      {{64, 128, 200}, 0, 0, 500, 100, {193, 222, 243}},
      {{1, 2, 254}, 0, 0, 37, 100, {0, 0, 252}},
      // 255 * z^(1/2) is exactly 178.5 and 212.5 for the red channels: halves round up.
      {{0, 102, 255}, 1, -96, 200, 100, {179, 180, 182}},
      {{226, 220, 172}, 73, -44, 200, 100, {213, 213, 213}},
      {{0, 51, 255}, 25, 20, 300, 100, {128, 192, 255}},  // 255 * z^(1/3) = 127.5
      // The red channels lie within 1e-6 of a half: 226.4999996 and 104.5000009.
      {{150, 149, 151}, 11, -15, 368, 100, {226, 226, 227}},
      {{43, 44, 42}, 24, -80, 80, 100, {105, 105, 104}},
      {{200, 100, 50}, 0, 0, 100, 0, {124, 124, 124}},  // the grey level 124.5 truncated
      {{23, 23, 23}, 0, 0, 100, 0, {22, 22, 22}},       // the rule gives this grey 22
      {{200, 100, 50}, 0, 0, 100, 200, {255, 76, 0}},
      {{200, 100, 50}, 0, 0, 100, 150, {238, 88, 13}},
      {{40, 90, 200}, 10, 20, 120, 130, {28, 129, 255}},
      {{250, 30, 120}, -20, 35, 80, 60, {183, 30, 32}},
  };
  for (const auto& c : cases) {
    const ToneSettings settings = tone(c.brightness, c.contrast, c.gamma, c.saturation);
    SCOPED_TRACE(testing::Message()
                 << int{c.in[0]} << "," << int{c.in[1]} << "," << int{c.in[2]} << " with "
                 << c.brightness << "," << c.contrast << "," << c.gamma << "," << c.saturation);
    const ColourValue out = ToneMap(settings).apply(makeColour(c.in[0], c.in[1], c.in[2]));
    EXPECT_EQ(out, makeColour(c.out[0], c.out[1], c.out[2]));
  }
}

// ImageMagick's -gamma raises to 1/gamma as well: a strip of every grey level, within
// one level of its Q16 arithmetic.
TEST(Tone, GammaAgreesWithImageMagick) {
  ASSERT_TRUE(test::haveTool(test::imageMagickConvert())) << "ImageMagick, the judge, is missing";
  const test::ScratchFolder scratch;
  ImageDocument strip;
  allocatePicture(strip, 256, 1, ColourMode::kTrueColour);
  for (int v = 0; v < 256; ++v) std::fill_n(strip.row(0) + 3 * v, 3, static_cast<uint8_t>(v));
  ASSERT_TRUE(test::writeFileBytes(scratch / "strip.bmp", encodeBmp(strip, {})));
  for (const char* gamma : {"0.2", "0.45", "1.8", "2.2", "5"}) {
    SCOPED_TRACE(gamma);
    const test::RgbImage theirs =
        test::imageMagickDecode(scratch / "strip.bmp", std::string("-gamma ") + gamma);
    ASSERT_EQ(theirs.width, 256);
    const ToneMap ours(tone(0, 0, static_cast<int>(std::lround(std::stod(gamma) * 100)), 100));
    int largest = 0;
    for (int v = 0; v < 256; ++v)
      largest = std::max(largest, std::abs(ours.channel(static_cast<uint8_t>(v)) -
                                           static_cast<int>(redOf(theirs.at(v, 0)))));
    EXPECT_LE(largest, 1);
  }
}

ImageDocument randomPicture(int32_t width, int32_t height, ColourMode mode, uint32_t seed) {
  std::mt19937 random(seed);
  ImageDocument doc;
  allocatePicture(doc, width, height, mode);
  for (uint8_t& byte : doc.pixels) byte = static_cast<uint8_t>(random());
  for (ColourValue& colour : doc.palette) colour = random() & 0xFFFFFF;
  return doc;
}

// True colour pixel by pixel as ToneMap says, the same bytes with any number of threads;
// an indexed picture changes only its palette entries; neutral and out-of-range settings
// change nothing.
TEST(Tone, PicturesAndPalettes) {
  const ToneSettings settings = tone(-15, 40, 160, 170);
  const ToneMap map(settings);
  const ImageDocument photo = randomPicture(123, 77, ColourMode::kTrueColour, 3);
  ImageDocument one = photo, three = photo;
  applyTone(one, settings, 1);
  applyTone(three, settings, 3);
  EXPECT_EQ(one, three);
  int mismatches = 0;
  for (int32_t y = 0; y < photo.height; ++y)
    for (int32_t x = 0; x < photo.width; ++x)
      mismatches += test::documentColour(one, x, y) != map.apply(test::documentColour(photo, x, y));
  EXPECT_EQ(mismatches, 0);

  const ImageDocument indexed = randomPicture(31, 9, ColourMode::kColours64, 4);
  ImageDocument toned = indexed;
  applyTone(toned, settings);
  EXPECT_EQ(toned.pixels, indexed.pixels);
  for (size_t i = 0; i < 256; ++i)
    EXPECT_EQ(toned.palette[i], i < 64 ? map.apply(indexed.palette[i]) : indexed.palette[i]) << i;

  for (const ToneSettings& unchanged :
       {tone(0, 0, 100, 100), tone(101, 0, 100, 100), tone(0, 0, 19, 100), tone(0, 0, 100, 201)}) {
    ImageDocument same = photo;
    applyTone(same, unchanged);
    EXPECT_EQ(same, photo);
  }
  for (int v = 0; v < 256; ++v) EXPECT_EQ(ToneMap(ToneSettings{}).channel(v), v);
}

TEST(ToneDialog, NumbersBesideTheSliders) {
  const struct {
    ToneSlider slider;
    int32_t position;
    const char* text;
  } cases[] = {
      {ToneSlider::kBrightness, -12, "-12"}, {ToneSlider::kContrast, 100, "100"},
      {ToneSlider::kGamma, 20, "0.20"},      {ToneSlider::kGamma, 105, "1.05"},
      {ToneSlider::kGamma, 500, "5.00"},     {ToneSlider::kSaturation, 130, "130 %"},
  };
  for (const auto& c : cases) EXPECT_EQ(toneValueText(c.slider, c.position), c.text);
}

// The worker's word that a preview waits, as the dialog's posted message.
class PreviewNotices {
 public:
  std::function<void()> callback() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      ++count_;
      arrived_.notify_all();
    };
  }
  // Waits for the next notice; false after a minute without one (a hung worker).
  bool wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    const int seen = count_;
    return arrived_.wait_for(lock, std::chrono::minutes(1), [&] { return count_ > seen; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  int count_ = 0;
};

ImageDocument toned(ImageDocument picture, const ToneSettings& settings) {
  applyTone(picture, settings);
  return picture;
}

// Moves come faster than previews: the shown picture ends as the latest settings make
// it; Mégse then brings back every byte of the picture; reset and OK changes nothing;
// OK without waiting gives the toned picture.
TEST(ToneDialog, PreviewOkMegseAndReset) {
  const ImageDocument picture = randomPicture(301, 203, ColourMode::kTrueColour, 9);
  {
    PreviewNotices notices;
    ToneDialogModel model(picture, 2, notices.callback());
    ImageDocument shown = picture;
    for (int b = 1; b <= 30; ++b) model.move(ToneSlider::kBrightness, b);
    model.move(ToneSlider::kGamma, 150);
    model.move(ToneSlider::kGamma, 9999);  // beyond the range: 5.00
    EXPECT_EQ(model.position(ToneSlider::kGamma), 500);
    const ImageDocument expected = toned(picture, tone(30, 0, 500, 100));
    while (shown != expected) {
      if (!model.showPreview(shown)) {
        ASSERT_TRUE(notices.wait());
      }
    }
    model.cancel(shown);
    EXPECT_EQ(shown, picture);
  }
  {
    ToneDialogModel model(picture, 1, [] {});
    ImageDocument shown = picture;
    model.move(ToneSlider::kContrast, -40);
    model.move(ToneSlider::kSaturation, 0);
    model.reset();
    EXPECT_EQ(model.settings(), ToneSettings{});
    model.accept(shown);
    EXPECT_EQ(shown, picture);
  }
  {
    ToneDialogModel model(picture, 1, [] {});
    ImageDocument shown = picture;
    model.move(ToneSlider::kContrast, 25);
    model.move(ToneSlider::kSaturation, 140);
    model.accept(shown);
    EXPECT_EQ(shown, toned(picture, tone(0, 25, 100, 140)));
  }
}

class ToneHost : public CommandHost, public UserPrompts {
 public:
  bool pressOk = true;
  UserPrompts& prompts() override { return *this; }
  void showError(const std::string&, const std::string&) override {}
  bool askYesNo(const std::string&, const std::string&) override { return false; }
  Answer askYesNoCancel(const std::string&, const std::string&) override { return Answer::kNo; }
  // The user drags two sliders and waits for the preview before pressing a button.
  bool editTone(AppState& state) override {
    PreviewNotices notices;
    ToneDialogModel model(state.document, 2, notices.callback());
    model.move(ToneSlider::kBrightness, -20);
    model.move(ToneSlider::kSaturation, 150);
    while (!model.showPreview(state.document)) EXPECT_TRUE(notices.wait());
    if (pressOk)
      model.accept(state.document);
    else
      model.cancel(state.document);
    return pressOk;
  }
};

// From the menu: OK is one undo step that undoes to the picture as it was; Mégse leaves
// no step and no changed mark. Greyed for the TVC's own depths.
TEST(ToneCommand, OneUndoStepOrNone) {
  AppState state;
  state.document = randomPicture(64, 48, ColourMode::kTrueColour, 12);
  startHistory(state);
  const ImageDocument opened = state.document;
  ToneHost host;
  host.pressOk = false;
  runWindowCommand(state, host, CommandId::kTone);
  EXPECT_EQ(state.document, opened);
  EXPECT_FALSE(canUndo(state));
  EXPECT_FALSE(pictureChanged(state));

  host.pressOk = true;
  runWindowCommand(state, host, CommandId::kTone);
  EXPECT_EQ(state.document, toned(opened, tone(-20, 0, 100, 150)));
  EXPECT_EQ(state.history.undoSteps.size(), 1u);
  runWindowCommand(state, host, CommandId::kUndo);
  EXPECT_EQ(state.document, opened);

  for (ColourMode mode : kEveryColourMode) {
    state.document = randomPicture(8, 8, mode, 1);
    EXPECT_EQ(commandEnabled(CommandId::kTone, state), !isTvcColourMode(mode)) << mode;
  }
  releasePicture(state.document);
  EXPECT_FALSE(commandEnabled(CommandId::kTone, state));
}

// vizorka-cli --tone gives the same bytes as the command here, refuses a TVC picture
// (exit 4) and malformed values (exit 2, nothing written).
TEST(ToneCommand, CommandLine) {
  const test::ScratchFolder scratch;
  const std::string cli = VIZORKA_CLI_PATH;
  const ImageDocument photo = randomPicture(37, 23, ColourMode::kTrueColour, 5);
  const std::string input = scratch / "in.bmp";
  ASSERT_TRUE(test::writeFileBytes(input, encodeBmp(photo, {})));
  ASSERT_EQ(test::runCommand(cli + " " + input + " --tone 10,20,1.2,130 --export " +
                             (scratch / "out.bmp")),
            0);
  ImageDocument exported;
  const std::vector<uint8_t> bytes = test::readFileBytes(scratch / "out.bmp");
  ASSERT_EQ(readBmp(bytes.size(), bytes.data(), exported, ReadOptions{}), StatusCode::kOk);
  EXPECT_EQ(exported.pixels, toned(photo, tone(10, 20, 120, 130)).pixels);

  EXPECT_EQ(test::runCommand(cli + " " + input + " --nearest 16 --tone 0,0,1,50 2>/dev/null"), 4);
  const char* const slips[] = {"10,20,1.2",    "101,0,1,100",   "0,-101,1,100", "0,0,0.19,100",
                               "0,0,5.01,100", "0,0,1.234,100", "0,0,1.,100",   "0,0,.5,100",
                               "0,0,1,201",    "0,0,1,-1",      "0,0,1,100,"};
  for (const char* slip : slips) {
    std::string errors;
    EXPECT_EQ(test::runCommand(cli + " " + input + " --tone " + slip + " --export " +
                                   (scratch / "slip.bmp") + " 2>&1",
                               &errors),
              2)
        << slip;
    EXPECT_NE(errors.find("--tone: expected B,C,G,S"), std::string::npos) << errors;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "slip.bmp"));
}

}  // namespace
}  // namespace vz
