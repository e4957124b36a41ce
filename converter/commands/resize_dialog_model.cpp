#include "converter/commands/resize_dialog_model.h"

#include "converter/commands/effect_settings_dialog_model.h"

namespace vz {

namespace {

constexpr int32_t kLargestSide = 65535;

}  // namespace

ResizeControls initialResizeControls(const EffectSettings& settings) {
  return {std::to_string(settings.cropWidth), std::to_string(settings.cropHeight),
          ResizeMode::kFit};
}

bool resizeTargetOf(const ResizeControls& controls, ResizeTarget& target) {
  // The crop-size fields' reading: digits, spaces around them allowed; 0 otherwise.
  const int32_t width = parseCropSize(controls.widthText);
  const int32_t height = parseCropSize(controls.heightText);
  if (width < 1 || width > kLargestSide || height < 1 || height > kLargestSide) return false;
  target = {width, height, controls.mode};
  return true;
}

}  // namespace vz
