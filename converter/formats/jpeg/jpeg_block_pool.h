// The JPEG decoder's memory: a fixed number of owned blocks, released all at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vz {

class JpegBlockPool {
 public:
  static constexpr int kSlots = 100;
  static constexpr int32_t kNoFreeSlot = -221;
  static constexpr int32_t kOutOfMemory = -233;

  // A zero-filled block of at least 'size' bytes, aligned to 16. On failure returns
  // null and sets 'error' to kNoFreeSlot or kOutOfMemory.
  uint8_t* allocate(size_t size, int32_t& error);
  void releaseAll();

 private:
  std::unique_ptr<uint8_t[]> slots_[kSlots];
};

}  // namespace vz
