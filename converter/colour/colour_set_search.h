// The best colours for a picture: the colour sets with which a conversion's result looks
// closest to the picture on the screen (the least mean blurred CIEDE2000, see
// perceptual_error.h), among every set of distinct TVC colours.
//
// Every set is ranked in three steps, each on fewer sets:
//   a prediction on a summary of the picture: the picture blurred as the eye sees it, its
//   colours gathered into a few hundred weighted bins, and for each bin how far it lies
//   (to the eye) from the colours the set can mix, or, for conversions whose pixels do
//   not depend on the set, from what the set makes of the mix the conversion chose;
//   the best 32 converted on a half-size copy and measured by a quick linearised
//   measure;
//   the best 4 of those, and always the sets the settings held and the start sets,
//   converted at full size and measured in full. The least error wins, ties going to
//   the sets held, so the choice is never worse than either.
// Interlaced pairs are made from the best 8 single sets. The refined dither starts from
// the perceptual one with the same colours, so its sets are measured with the perceptual
// dither. The answer is the same on every machine and with any number of threads.
#pragma once

#include <array>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/settings.h"

namespace vz {

// The conversion the sets are chosen for.
enum class SetConversion {
  kDitherTwoColours,   // the settings' dither algorithm to 2 colours
  kDitherFourColours,  // ... to 4 colours, interlaced when the settings say so
  kNearestTwoColours,  // the grey threshold to 2 colours
};

struct ColourSetTarget {
  SetConversion conversion = SetConversion::kDitherFourColours;
  // The sets to choose, by ColourSetId; sets the conversion does not use are left alone.
  std::array<bool, 3> choose{};
  // How the window shows the result: each pixel zoomX x zoomY screen pixels.
  int zoomX = 1;
  int zoomY = 1;
};

// Which sets the conversion reads with these settings, by ColourSetId.
std::array<bool, 3> setsUsedBy(SetConversion conversion, const EffectSettings& settings);

// Chooses the target's sets for converting `picture` (the picture as the conversion gets
// it, after any halving) and writes them to settings.colourChoices, each set's colours
// in order of their grey level. kNotApplicable when the picture cannot be converted;
// kOutOfMemory when the work cannot get its memory (the settings then stay as they were).
Status chooseColourSets(const ImageDocument& picture, EffectSettings& settings,
                        const ColourSetTarget& target, int threads = 1);

}  // namespace vz
