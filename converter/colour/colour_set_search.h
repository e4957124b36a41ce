// The best colours for a picture: the colour sets with which a conversion's result looks
// closest to the picture on the screen (the least mean blurred CIEDE2000, see
// perceptual_error.h), among every set of distinct TVC colours.
//
// Every set is ranked on a small summary of the picture by a cheap score that predicts
// the full one: the picture blurred as the eye sees it, its colours gathered into a few
// hundred weighted bins, and for each bin how far it lies from the colours the set can
// mix (and how much the mixing shows), or, for conversions whose pixels do not depend on
// the set, what the set makes of the mix the conversion chose. The best few by that
// score, and always the sets the settings held, are then converted at full size and
// measured; the least error wins, ties going to the sets held. Interlaced pairs are made
// from the best single sets. The answer is the same on every machine and with any
// number of threads.
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
