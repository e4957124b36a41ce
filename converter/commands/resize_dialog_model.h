// What the "Átméretezés" dialog does, without its window: what its controls show on
// opening, the picture's size as the user sees it, the aspect lock, the TVC presets, and
// the target its OK asks for.
#pragma once

#include <cstdint>
#include <string>

#include "converter/colour/resize.h"
#include "converter/model/app_state.h"
#include "converter/model/settings.h"

namespace vz {

struct ResizeControls {
  std::string widthText;
  std::string heightText;
  ResizeMode mode = ResizeMode::kFit;  // the radio button checked
  bool keepAspect = true;              // "Képarány megtartása"
};

// The picture as the user sees it: width x zoomX by height x zoomY screen pixels (before
// the monitor's own scaling).
struct ShownSize {
  int64_t width = 0;
  int64_t height = 0;
};

ShownSize shownSizeOf(const AppState& state);

// "320 × 240 képpont"; empty without a picture.
std::string shownSizeText(const ShownSize& size);

// On opening: the crop size of the effect settings, fitted inside, the aspect kept.
ResizeControls initialResizeControls(const EffectSettings& settings);

// A side was typed: while the aspect is kept, the other side follows in the shown
// picture's aspect (rounded, halves up, at least 1). Nothing changes when the typed text
// is no size or the source has none.
void widthEdited(ResizeControls& controls, const ShownSize& source);
void heightEdited(ResizeControls& controls, const ShownSize& source);

// The TVC presets, each a target that the dither after it, with the current settings,
// turns into the screen's own pixels:
//  - "TVC 4 és 16 szín (256 × 240)": 256 x 240; 4 colours keep it, and with
//    pre-distortion 16 colours halve it to 128 x 240 shown 2 x 1. Without pre-distortion,
//    the 16-colour screen itself: 128 x 240.
//  - "TVC 2 szín (512 × 480)": 512 x 480, which pre-distortion halves to 512 x 240 shown
//    1 x 2. Without pre-distortion, the 2-colour screen itself: 512 x 240.
// Both sides are set as they are; the mode stays.
enum class ResizePreset { kFourAndSixteenColours, kTwoColours };
void choosePreset(ResizeControls& controls, ResizePreset preset, const EffectSettings& settings);

// OK: the target the controls ask for, or false when a side is no whole number from 1
// to 65535 (the dialog then says so and stays open).
bool resizeTargetOf(const ResizeControls& controls, ResizeTarget& target);

}  // namespace vz
