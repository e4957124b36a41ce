#include "converter/formats/jpeg/jpeg_block_pool.h"

#include <new>

namespace vz {

namespace {
constexpr size_t kAlignment = 16;
}

uint8_t* JpegBlockPool::allocate(size_t size, JpegError& error) {
  for (auto& slot : slots_) {
    if (slot) continue;
    if (size > SIZE_MAX - kAlignment) {
      error = JpegError::kOutOfMemory;
      return nullptr;
    }
    slot.reset(new (std::nothrow) uint8_t[size + kAlignment]());
    if (!slot) {
      error = JpegError::kOutOfMemory;
      return nullptr;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(slot.get());
    return slot.get() + (kAlignment - address % kAlignment) % kAlignment;
  }
  error = JpegError::kNoFreeSlot;
  return nullptr;
}

void JpegBlockPool::releaseAll() {
  for (auto& slot : slots_) slot.reset();
}

}  // namespace vz
