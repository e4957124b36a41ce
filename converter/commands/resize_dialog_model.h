// What the "Átméretezés" dialog does, without its window: what its controls show on
// opening, and the target its OK asks for.
#pragma once

#include <string>

#include "converter/colour/resize.h"
#include "converter/model/settings.h"

namespace vz {

struct ResizeControls {
  std::string widthText;
  std::string heightText;
  ResizeMode mode = ResizeMode::kFit;  // the radio button checked
};

// On opening: the crop size of the effect settings, fitted inside.
ResizeControls initialResizeControls(const EffectSettings& settings);

// OK: the target the controls ask for, or false when a side is no whole number from 1
// to 65535 (the dialog then says so and stays open).
bool resizeTargetOf(const ResizeControls& controls, ResizeTarget& target);

}  // namespace vz
