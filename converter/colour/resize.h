// Resizing the document to a target size: fit inside it, fill it (cutting the centre of
// the picture to the target's aspect) or stretch to it. Each output pixel is the
// area-weighted mean, in linear light, of the source area it covers.
#pragma once

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

// Resizes the picture as planned; indexed pictures are sampled through their palette
// colours. The result is always a true-colour picture, with tvcPicture and interlaced
// cleared. The document stays as it was on kNotApplicable (it holds no picture, or a
// target side is below 1), kTooLarge (beyond the document limit) and kOutOfMemory.
Status resizePicture(ImageDocument& doc, const ResizeTarget& target);

}  // namespace vz
