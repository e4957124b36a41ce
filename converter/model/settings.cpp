#include "converter/model/settings.h"

namespace vz {

void applySettingsDefaults(EffectSettings& settings) {
  const EffectSettings start;
  settings.colourChoices = start.colourChoices;
  settings.threshold = start.threshold;
}

}  // namespace vz
