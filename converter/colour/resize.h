// Resizing the document to a target size: fit inside it, fill it (cutting the centre of
// the picture to the target's aspect) or stretch to it. Each output pixel is the
// area-weighted mean, in linear light, of the source area it covers.
#pragma once

#include <array>
#include <cstdint>

#include "converter/model/document.h"

namespace vz {

enum class ResizeMode { kFit, kFill, kStretch };

struct ResizeTarget {
  int32_t width = 0;
  int32_t height = 0;
  ResizeMode mode = ResizeMode::kFit;
};

// The output size and the source rectangle it is sampled from, in continuous source
// pixel coordinates (pixel x covers x..x+1).
struct ResizePlan {
  int32_t width = 0;
  int32_t height = 0;
  double left = 0;
  double top = 0;
  double sourceWidth = 0;
  double sourceHeight = 0;
};

// The plan for a source of sourceWidth x sourceHeight (both at least 1) and a target
// whose sides are at least 1:
//  - stretch: the target size, from the whole source;
//  - fit: with s = min(W/w, H/h), max(1, floor(w*s + 1/2)) x max(1, floor(h*s + 1/2)),
//    from the whole source;
//  - fill: the target size, from the largest centred source rectangle of the target's
//    aspect.
ResizePlan planResize(int32_t sourceWidth, int32_t sourceHeight, const ResizeTarget& target);

// The plan for a picture of width x height shown zoomX x zoomY times: fit and fill take
// the shape the user sees, (width * zoomX) x (height * zoomY), planned as above; the
// source rectangle is then given in the picture's own pixels. A zoom below 1 counts as 1.
ResizePlan planShownResize(int32_t width, int32_t height, int zoomX, int zoomY,
                           const ResizeTarget& target);

// Resizes the picture shown zoomX x zoomY as planned; indexed pictures are sampled
// through their palette colours. The result is always a true-colour picture (to be shown
// at 1 x 1), with tvcPicture and interlaced cleared. The document stays as it was on
// kNotApplicable (it holds no picture, or a target side is below 1), kTooLarge (beyond
// the document limit) and kOutOfMemory.
Status resizePicture(ImageDocument& doc, const ResizeTarget& target, int zoomX = 1, int zoomY = 1);

// The whole source stretched to width x height into `result`, a new true-colour picture,
// sampled as resizePicture samples; indexed pixels take their colours from `colours`
// instead of the palette (the window's grey view shows grey levels). The source stays
// as it is. False when it holds no picture, a side is below 1, or memory cannot be had.
bool resampleWhole(const ImageDocument& source, const std::array<ColourValue, 256>& colours,
                   int32_t width, int32_t height, ImageDocument& result);

}  // namespace vz
