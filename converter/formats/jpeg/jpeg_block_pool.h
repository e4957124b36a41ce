// The JPEG decoder's memory: a fixed number of owned blocks, released all at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "converter/formats/jpeg/jpeg_error.h"

namespace vz {

class JpegBlockPool {
 public:
  static constexpr int kSlots = 100;

  // A zero-filled block of at least 'size' bytes, aligned to 16. On failure returns
  // null and sets 'error' to kNoFreeSlot or kOutOfMemory.
  uint8_t* allocate(size_t size, JpegError& error);
  // The same for 'count' objects of a plain type; fails the decode when there is none.
  template <typename T>
  T* take(size_t count = 1) {
    JpegError error = JpegError::kNone;
    if (count > SIZE_MAX / sizeof(T)) failJpeg(JpegError::kOutOfMemory);
    uint8_t* block = allocate(count * sizeof(T), error);
    if (block == nullptr) failJpeg(error);
    return reinterpret_cast<T*>(block);
  }
  void releaseAll();

 private:
  std::unique_ptr<uint8_t[]> slots_[kSlots];
};

}  // namespace vz
