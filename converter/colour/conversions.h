// Colour conversions of the image document: nearest colours, dithering, greys,
// halving and palette remap. Each answers kOk; kNotApplicable, with the reason, for a
// document without a picture or in a colour mode it does not handle; kOutOfMemory when
// a buffer cannot be had. Only kOk changes the document. Those with a thread count share
// the work among that many threads; the bytes are the same for any.
#pragma once

#include <array>
#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"
#include "converter/model/settings.h"

namespace vz {

// target 2, 4 or 16.
Status nearestColourConversion(ImageDocument& doc, const EffectSettings& settings, int target,
                               int threads = 1);

enum DitherKind { kDitherTwoColours = 0, kDitherFourColours = 1, kDitherSixteenColours = 2 };
Status floydSteinbergDither(ImageDocument& doc, const EffectSettings& settings, int kind,
                            int threads = 1);
Status orderedDither(ImageDocument& doc, const EffectSettings& settings, int kind, int threads = 1);
// Error diffusion that matches colours by how they look (see perceptual_dither.cpp);
// the same target sets, result flags and palette as floydSteinbergDither.
// Its strips are fixed by the picture's height, so the bytes are the same with any
// number of threads.
Status perceptualDither(ImageDocument& doc, const EffectSettings& settings, int kind,
                        int threads = 1);

enum GreyKind { kFourGreys = 1, kSixteenGreys = 2 };
Status greyConversion(ImageDocument& doc, int kind, int threads = 1);
Status grey256Conversion(ImageDocument& doc, int threads = 1);

enum HalveDirection { kHalveHorizontally = 1, kHalveVertically = 2 };
Status halve(ImageDocument& doc, int direction, int threads = 1);

// remap[i] is the new pixel value of old value i (2- and 4-colour documents).
Status paletteRemap(ImageDocument& doc, const std::array<uint8_t, 4>& remap);

}  // namespace vz
