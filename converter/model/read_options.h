// What every reader is told besides the bytes.
#pragma once

#include <cstdint>

namespace vz {

// The largest picture any reader makes unless told otherwise: 16384 x 16384 pixels.
constexpr int64_t kDefaultMaxPixels = int64_t{16384} * 16384;

struct ReadOptions {
  // Pictures of more pixels are refused from their header, before anything is allocated.
  int64_t maxPixels = kDefaultMaxPixels;
  // A photo's EXIF orientation turns it upright.
  bool applyOrientation = true;
};

}  // namespace vz
