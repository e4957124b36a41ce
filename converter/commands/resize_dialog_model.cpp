#include "converter/commands/resize_dialog_model.h"

#include "converter/commands/effect_settings_dialog_model.h"

namespace vz {

namespace {

constexpr int32_t kLargestSide = 65535;

// round(side * to / from), halves up, at least 1.
int64_t inProportion(int64_t side, int64_t to, int64_t from) {
  const int64_t rounded = (2 * side * to + from) / (2 * from);
  return rounded < 1 ? 1 : rounded;
}

}  // namespace

ShownSize shownSizeOf(const AppState& state) {
  const ImageDocument& doc = state.document;
  if (!doc.holdsPicture()) return {};
  const int64_t zoomX = state.view.zoomX < 1 ? 1 : state.view.zoomX;
  const int64_t zoomY = state.view.zoomY < 1 ? 1 : state.view.zoomY;
  return {int64_t{doc.width} * zoomX, int64_t{doc.height} * zoomY};
}

std::string shownSizeText(const ShownSize& size) {
  if (size.width < 1 || size.height < 1) return "";
  return std::to_string(size.width) + " × " + std::to_string(size.height) + " képpont";
}

ResizeControls initialResizeControls(const EffectSettings& settings) {
  return {std::to_string(settings.cropWidth), std::to_string(settings.cropHeight), ResizeMode::kFit,
          true};
}

void widthEdited(ResizeControls& controls, const ShownSize& source) {
  const int32_t width = parseCropSize(controls.widthText);
  if (!controls.keepAspect || width < 1 || source.width < 1 || source.height < 1) return;
  controls.heightText = std::to_string(inProportion(width, source.height, source.width));
}

void heightEdited(ResizeControls& controls, const ShownSize& source) {
  const int32_t height = parseCropSize(controls.heightText);
  if (!controls.keepAspect || height < 1 || source.width < 1 || source.height < 1) return;
  controls.widthText = std::to_string(inProportion(height, source.width, source.height));
}

void choosePreset(ResizeControls& controls, ResizePreset preset, const EffectSettings& settings) {
  const bool halved = settings.preDistortion;
  if (preset == ResizePreset::kFourAndSixteenColours) {
    controls.widthText = halved ? "256" : "128";
    controls.heightText = "240";
  } else {
    controls.widthText = "512";
    controls.heightText = halved ? "480" : "240";
  }
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
