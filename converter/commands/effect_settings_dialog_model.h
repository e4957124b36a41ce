// What the "Effektus-beállítások" dialog does, without its window: the values its
// controls show, and what opening, a colour choice, "Alaphelyzet...", "OK" and
// "Mégse" do to the effect settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "converter/model/app_state.h"
#include "converter/model/settings.h"

namespace vz {

// The state of the dialog's controls other than the colour buttons.
struct EffectSettingsControls {
  // The checked radio button of "Dithering algoritmus": Floyd-Steinberg, "Ordered",
  // "Élethű" or "Finomított", as a DitherAlgorithm.
  uint8_t algorithmChecked = kFloydSteinberg;
  int thresholdPosition = 0;  // trackbar 0..255
  bool preDistortionChecked = false;
  bool interlacedChecked = false;
  std::string cropWidthText;
  std::string cropHeightText;
};

// The largest crop size: the crop frame is drawn on the screen, and larger sizes
// would run off any window.
constexpr int32_t kLargestCropSize = 65535;

// A crop-size field as an unsigned decimal number 1..kLargestCropSize; 0 when the
// text is not one.
int32_t parseCropSize(const std::string& text);

// Shown when "OK" finds a crop size that parseCropSize refuses (the dialog stays open).
inline const char* const kCropSizeRefused =
    "A kivágás szélessége és magassága 1 és 65535 közötti egész szám legyen!";

class EffectSettingsDialogModel {
 public:
  // Opening: the colour choices are put aside for "Mégse".
  explicit EffectSettingsDialogModel(EffectSettings& settings);

  // What the controls show on opening.
  EffectSettingsControls initialControls() const;

  // The bytes the colour buttons 1015..1024 show and change: the settings' own.
  std::array<uint8_t, 10>& colours() { return settings_.colourChoices; }

  // A colour picked for button i takes effect at once.
  void chooseColour(int i, uint8_t tvcIndex);

  // "Legjobb színek" beside a set (a ColourSetId): the set's colours (beside the 4-colour
  // set with interlace checked, both 4-colour sets) become the best for the picture of
  // `state` with what the controls show now, and the buttons show them at once. False,
  // changing nothing, when there is no picture to choose for.
  bool chooseBestColours(int setId, const EffectSettingsControls& controls, const AppState& state);

  // "Alaphelyzet...": the colours and the threshold are reset at once; returns what
  // the other controls show now (they change the settings only with "OK").
  EffectSettingsControls resetToDefaults();

  // "OK": false, changing nothing, when a crop size is refused.
  bool accept(const EffectSettingsControls& controls);

  // "Mégse": only the colour choices come back; a threshold reset stays.
  void cancel();

 private:
  EffectSettings& settings_;
  std::array<uint8_t, 10> coloursOnOpening_;
};

}  // namespace vz
