// The refined dither: the perceptual dither's result, then improved pixel by pixel by
// direct binary search. The eye is modelled as a Gaussian blur of sigma 1 screen pixel
// in linear light over the picture as the window shows it (a pixel shown 2 x 1 counts
// as two), and the error it sees at each screen pixel is the CIEDE2000 difference of the
// blurred result from the blurred source, modelled afresh for every sweep. Each sweep visits every
// pixel, tries each colour its row may take, and keeps the one that lowers that error most; a sweep
// is kept only when the mean blurred CIEDE2000 (perceptual_error.h) of the whole picture falls, so
// the result never looks further from the source than the perceptual dither's. Sweeps stop when
// fewer than one pixel in a thousand changed, or after 8.
#pragma once

#include "converter/model/document.h"
#include "converter/model/settings.h"

namespace vz {

// The same target sets, result flags and palette as perceptualDither (kind is a
// DitherKind). zoomX x zoomY: how the window shows each pixel of the result. The work is
// shared among the threads; the bytes are the same for any number of them. What the
// perceptual dither answers, or kOk; without the memory to refine, the perceptual result
// is the answer.
Status refinedDither(ImageDocument& doc, const EffectSettings& settings, int kind, int zoomX,
                     int zoomY, int threads = 1);

}  // namespace vz
