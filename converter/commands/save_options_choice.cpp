#include "converter/commands/save_options_choice.h"

namespace vz {

SaveOptions saveOptionsFrom(const SaveOptionsChoice& choice) {
  SaveOptions options;
  options.saveCoding = choice.rleCoding ? kRle : kPlain;
  options.saveFormat = !choice.spriteFormat    ? kFullKepHeader
                       : choice.backgroundMask ? kSpriteWithMask
                                               : kSpriteExport;
  options.makePaletteFile = choice.paletteFile;
  options.maskColour = choice.maskColour;
  return options;
}

}  // namespace vz
