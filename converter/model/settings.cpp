#include "converter/model/settings.h"

namespace vz {

void applySettingsDefaults(EffectSettings& settings) {
  settings.colourChoices = {0, 15, 0, 10, 14, 15, 0, 11, 7, 15};
  settings.threshold = 128;
}

}  // namespace vz
