#include "converter/tvcfiles/kep_writer.h"

namespace vz {

bool saveKepFile(AppState&, UserPrompts& prompts) {
  prompts.showError("A KEP mentés még nem készült el.", texts::kSaveCaption);
  return false;
}

}  // namespace vz
