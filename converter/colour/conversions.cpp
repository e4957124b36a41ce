#include "converter/colour/conversions.h"

namespace vz {

void nearestColourConversion(ImageDocument&, const EffectSettings&, int) {}
void floydSteinbergDither(ImageDocument&, const EffectSettings&, int) {}
void orderedDither(ImageDocument&, const EffectSettings&, int) {}
void greyConversion(ImageDocument&, int) {}
void grey256Conversion(ImageDocument&) {}
void halve(ImageDocument&, int) {}
void paletteRemap(ImageDocument&, const std::array<uint8_t, 4>&) {}

}  // namespace vz
