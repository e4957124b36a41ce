// Turning and mirroring the document's picture, as a camera's EXIF orientation asks.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "converter/model/document.h"

namespace vz {

// Makes an 8-bit or true-colour picture stand as it was taken, for an orientation as EXIF
// numbers them: 1 as stored, 2 mirrored left to right, 3 turned half round, 4 mirrored
// top to bottom, 5 mirrored across the diagonal from the top left, 6 turned a quarter
// clockwise, 7 mirrored across the other diagonal, 8 turned a quarter anticlockwise.
// 5..8 swap width and height. Other orientations leave the picture as it is. On failure
// (kOutOfMemory, or kNotApplicable for fewer bits per pixel) nothing changes.
Status orientPicture(ImageDocument& doc, int32_t orientation);

}  // namespace vz
