#include "converter/commands/effect_settings_dialog_model.h"

#include <algorithm>

#include "converter/commands/commands.h"

namespace vz {

int32_t parseCropSize(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  if (first == std::string::npos) return 0;
  int64_t value = 0;
  for (size_t i = first; i <= last; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > kLargestCropSize) return 0;
  }
  return static_cast<int32_t>(value);
}

EffectSettingsDialogModel::EffectSettingsDialogModel(EffectSettings& settings)
    : settings_(settings), coloursOnOpening_(settings.colourChoices) {}

namespace {

EffectSettingsControls controlsShowing(const EffectSettings& settings) {
  EffectSettingsControls controls;
  controls.algorithmChecked = settings.ditherAlgorithm;
  controls.thresholdPosition = settings.threshold;
  controls.preDistortionChecked = settings.preDistortion;
  controls.interlacedChecked = settings.interlacedFourColour;
  controls.cropWidthText = std::to_string(settings.cropWidth);
  controls.cropHeightText = std::to_string(settings.cropHeight);
  return controls;
}

}  // namespace

EffectSettingsControls EffectSettingsDialogModel::initialControls() const {
  return controlsShowing(settings_);
}

void EffectSettingsDialogModel::chooseColour(int i, uint8_t tvcIndex) {
  if (i >= 0 && i < static_cast<int>(settings_.colourChoices.size()))
    settings_.colourChoices[static_cast<size_t>(i)] = static_cast<uint8_t>(tvcIndex & 15);
}

bool EffectSettingsDialogModel::chooseBestColours(int setId, const EffectSettingsControls& controls,
                                                  const AppState& state) {
  if (setId < kTwoColourSetId || setId > kEvenLineSetId) return false;
  EffectSettings trial = settings_;
  trial.ditherAlgorithm = controls.algorithmChecked;
  trial.preDistortion = controls.preDistortionChecked;
  trial.interlacedFourColour = controls.interlacedChecked;
  if (!vz::chooseBestColours(state, trial, setId).ok()) return false;
  settings_.colourChoices = trial.colourChoices;
  return true;
}

EffectSettingsControls EffectSettingsDialogModel::resetToDefaults() {
  applySettingsDefaults(settings_);
  // The other controls show the start values; they reach the settings only on OK.
  return controlsShowing(EffectSettings{});
}

bool EffectSettingsDialogModel::accept(const EffectSettingsControls& controls) {
  const int32_t cropWidth = parseCropSize(controls.cropWidthText);
  const int32_t cropHeight = parseCropSize(controls.cropHeightText);
  if (cropWidth == 0 || cropHeight == 0) return false;
  settings_.ditherAlgorithm = controls.algorithmChecked;
  settings_.preDistortion = controls.preDistortionChecked;
  settings_.interlacedFourColour = controls.interlacedChecked;
  settings_.threshold = static_cast<uint8_t>(std::clamp(controls.thresholdPosition, 0, 255));
  settings_.cropWidth = cropWidth;
  settings_.cropHeight = cropHeight;
  return true;
}

void EffectSettingsDialogModel::cancel() {
  settings_.colourChoices = coloursOnOpening_;
}

}  // namespace vz
