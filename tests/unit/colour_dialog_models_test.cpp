// The effect-settings and palette dialogs' rules, driven without windows.
#include <gtest/gtest.h>

#include "converter/colour/tvc_palette.h"
#include "converter/commands/effect_settings_dialog_model.h"
#include "converter/commands/palette_dialog_model.h"
#include "converter/model/app_state.h"

namespace vz {
namespace {

TEST(CropSizeField, ReadsUnsignedNumbersAndZeroOtherwise) {
  EXPECT_EQ(parseCropSize("256"), 256);
  EXPECT_EQ(parseCropSize("0"), 0);
  EXPECT_EQ(parseCropSize(""), 0);
  EXPECT_EQ(parseCropSize("-12"), 0);
  EXPECT_EQ(parseCropSize("12a"), 0);
  EXPECT_EQ(parseCropSize(" 65535 "), 65535);
  EXPECT_EQ(parseCropSize("65536"), 0);  // a frame no window could show
  EXPECT_EQ(parseCropSize("2569999"), 0);
  EXPECT_EQ(parseCropSize("99999999999999999999"), 0);
}

TEST(EffectSettingsDialog, OkRefusesACropSizeOutsideOneTo65535) {
  EffectSettings settings;
  EffectSettingsDialogModel dialog(settings);
  EffectSettingsControls controls = dialog.initialControls();
  controls.thresholdPosition = 7;
  for (const char* refused : {"0", "-80", "65536", "x"}) {
    controls.cropHeightText = refused;
    EXPECT_FALSE(dialog.accept(controls)) << refused;
    EXPECT_EQ(settings.cropHeight, 240) << refused;
    EXPECT_EQ(settings.threshold, 128) << refused;  // nothing stored
  }
  controls.cropHeightText = "1";
  EXPECT_TRUE(dialog.accept(controls));
  EXPECT_EQ(settings.cropHeight, 1);
  EXPECT_EQ(settings.threshold, 7);
}

TEST(EffectSettingsDialog, CancelRestoresOnlyTheColours) {
  EffectSettings settings;
  settings.threshold = 30;
  settings.ditherAlgorithm = kOrdered;
  settings.colourChoices[3] = 4;
  const std::array<uint8_t, 10> before = settings.colourChoices;
  EffectSettingsDialogModel dialog(settings);
  dialog.chooseColour(0, 9);
  EXPECT_EQ(settings.colourChoices[0], 9);  // at once, so the buttons show it
  dialog.resetToDefaults();
  EXPECT_EQ(settings.threshold, 128);
  EXPECT_EQ(settings.colourChoices[3], 10);
  dialog.cancel();
  EXPECT_EQ(settings.colourChoices, before);
  EXPECT_EQ(settings.threshold, 128);  // the reset threshold stays
  EXPECT_EQ(settings.ditherAlgorithm, kOrdered);
}

// "Legjobb színek" on a picture made of four TVC colours: beside each set, with what the
// controls show (not yet stored), the set's colours at once; beside the 4-colour set
// with interlace checked, both 4-colour sets; "Mégse" brings back the colours held.
TEST(EffectSettingsDialog, BestColoursFillTheirSetAtOnceAndMegseUndoesThem) {
  AppState state;
  ImageDocument& doc = state.document;
  allocatePicture(doc, 32, 16, ColourMode::kTrueColour);
  const int colours[4] = {9, 4, 10, 14};
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      const ColourValue c = tvcColour(colours[x / 8]);
      doc.row(y)[3 * x] = blueOf(c);
      doc.row(y)[3 * x + 1] = greenOf(c);
      doc.row(y)[3 * x + 2] = redOf(c);
    }
  const std::array<uint8_t, 10> held = state.effects.colourChoices;
  EffectSettingsDialogModel dialog(state.effects);
  EffectSettingsControls controls = dialog.initialControls();
  controls.algorithmChecked = kRefined;
  ASSERT_TRUE(dialog.chooseBestColours(kFourColourSetId, controls, state));
  EXPECT_EQ(state.effects.colourChoices,
            (std::array<uint8_t, 10>{0, 15, 9, 10, 4, 14, 0, 11, 7, 15}));
  EXPECT_EQ(state.effects.ditherAlgorithm, kFloydSteinberg);  // only "OK" takes it
  controls.interlacedChecked = true;
  dialog.chooseColour(2, 1);
  ASSERT_TRUE(dialog.chooseBestColours(kFourColourSetId, controls, state));
  EXPECT_EQ(state.effects.colourChoices,
            (std::array<uint8_t, 10>{0, 15, 9, 10, 4, 14, 9, 10, 4, 14}));
  dialog.cancel();
  EXPECT_EQ(state.effects.colourChoices, held);

  // Without a picture nothing changes.
  AppState empty;
  EffectSettingsDialogModel nothing(empty.effects);
  EXPECT_FALSE(nothing.chooseBestColours(kTwoColourSetId, controls, empty));
  EXPECT_EQ(empty.effects.colourChoices, held);
}

TEST(EffectSettingsDialog, ResetThenOkGivesTheStartValues) {
  EffectSettings settings;
  settings.ditherAlgorithm = kOrdered;
  settings.preDistortion = false;
  settings.interlacedFourColour = true;
  settings.cropWidth = 10;
  settings.cropHeight = 20;
  settings.threshold = 3;
  settings.colourChoices.fill(5);
  EffectSettingsDialogModel dialog(settings);
  const EffectSettingsControls shown = dialog.resetToDefaults();
  EXPECT_EQ(settings.ditherAlgorithm, kOrdered);  // only "OK" takes these
  dialog.accept(shown);
  const EffectSettings defaults;
  EXPECT_EQ(settings.ditherAlgorithm, kFloydSteinberg);
  EXPECT_TRUE(settings.preDistortion);
  EXPECT_FALSE(settings.interlacedFourColour);
  EXPECT_EQ(settings.cropWidth, 256);
  EXPECT_EQ(settings.cropHeight, 240);
  EXPECT_EQ(settings.threshold, 128);
  EXPECT_EQ(settings.colourChoices, defaults.colourChoices);
}

ImageDocument fourColourPicture() {
  ImageDocument doc;
  allocatePicture(doc, 4, 1, ColourMode::kColours4);
  doc.row(0)[0] = 0x01;
  doc.row(0)[1] = 0x23;
  for (size_t i = 0; i < 4; ++i) doc.palette[i] = tvcColour(static_cast<int>(12 + i));
  return doc;
}

TEST(PaletteDialog, ChoosingAnIndexInUseExchangesTheRows) {
  PaletteDialogModel dialog(fourColourPicture());
  EXPECT_EQ(dialog.rows(), 4);
  EXPECT_EQ(dialog.chooseNewIndex(0, 1, false), 1);
  EXPECT_EQ(dialog.remap(), (std::array<uint8_t, 4>{1, 0, 2, 3}));
  EXPECT_EQ(dialog.chooseNewIndex(0, 1, false), -1);  // unchanged choice
}

TEST(PaletteDialog, MergingLetsTwoRowsShareAnIndex) {
  PaletteDialogModel dialog(fourColourPicture());
  EXPECT_EQ(dialog.chooseNewIndex(1, 0, true), -1);
  EXPECT_EQ(dialog.remap(), (std::array<uint8_t, 4>{0, 0, 2, 3}));
  // Without merging again, a free index is simply taken.
  EXPECT_EQ(dialog.chooseNewIndex(2, 1, false), -1);
  EXPECT_EQ(dialog.remap(), (std::array<uint8_t, 4>{0, 0, 1, 3}));
}

TEST(PaletteDialog, OkRecoloursThenRemaps) {
  ImageDocument doc = fourColourPicture();
  PaletteDialogModel dialog(doc);
  EXPECT_EQ(dialog.colours(), (std::array<uint8_t, 4>{12, 13, 14, 15}));
  dialog.colours()[0] = 2;
  dialog.chooseNewIndex(0, 1, false);
  dialog.apply(doc);
  EXPECT_EQ(doc.row(0)[0], 0x10);
  EXPECT_EQ(doc.row(0)[1], 0x23);
  EXPECT_EQ(doc.palette[0], tvcColour(13));
  EXPECT_EQ(doc.palette[1], tvcColour(2));
}

TEST(PaletteDialog, TwoColourPictureWithForeignColoursShowsAndStoresBlack) {
  ImageDocument doc;
  allocatePicture(doc, 8, 1, ColourMode::kColours2);
  doc.row(0)[0] = 0xF0;
  doc.palette[0] = 0x123456;
  doc.palette[1] = 0xFFFFFF;
  PaletteDialogModel dialog(doc);
  EXPECT_EQ(dialog.rows(), 2);
  EXPECT_EQ(dialog.colours()[0], 0);
  EXPECT_EQ(dialog.remap(), (std::array<uint8_t, 4>{0, 1, 0, 0}));
  EXPECT_EQ(dialog.chooseNewIndex(2, 1, false), -1);  // rows 2 and 3 are disabled
  EXPECT_EQ(dialog.chooseNewIndex(1, 0, false), 0);
  dialog.apply(doc);
  EXPECT_EQ(doc.row(0)[0], 0x0F);
  EXPECT_EQ(doc.palette[0], 0xFFFFFFu);
  EXPECT_EQ(doc.palette[1], 0u);
}

}  // namespace
}  // namespace vz
