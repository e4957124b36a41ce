// What a picture file's header claims, read without decoding: the size its picture will
// have. A batch reserves memory by it before the file is read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz {

struct PictureClaim {
  int64_t width = 0;
  int64_t height = 0;
};

// Each format's claim: from the first `size` bytes of a file of `fileSize` bytes; false
// when they do not say (too short, or not that format's header). A claim is what the
// header says, not what the data holds: the picture read is never larger.
using ClaimReader = bool (*)(size_t size, const uint8_t* head, uint64_t fileSize,
                             PictureClaim& claim);

}  // namespace vz
