#include "tests/unit/allocation_meter.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

// Each block carries its size in a header of the alignment operator new promises.
constexpr size_t kHeader = alignof(std::max_align_t);

std::atomic<int64_t> held{0};
std::atomic<int64_t> peak{0};
std::atomic<size_t> ceiling{std::numeric_limits<size_t>::max()};

void* take(size_t size) noexcept {
  if (size > ceiling.load(std::memory_order_relaxed) ||
      size > std::numeric_limits<size_t>::max() - kHeader)
    return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) return nullptr;
  *reinterpret_cast<size_t*>(block) = size;
  const int64_t now = held.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
  for (int64_t seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {
  }
  return block + kHeader;
}

void give(void* pointer) noexcept {
  if (!pointer) return;
  unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
  held.fetch_sub(static_cast<int64_t>(*reinterpret_cast<size_t*>(block)));
  std::free(block);
}

void* takeOrThrow(size_t size) {
  void* pointer = take(size);
  if (!pointer) throw std::bad_alloc();
  return pointer;
}

}  // namespace

void* operator new(size_t size) {
  return takeOrThrow(size);
}
void* operator new[](size_t size) {
  return takeOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return take(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return take(size);
}
void operator delete(void* pointer) noexcept {
  give(pointer);
}
void operator delete[](void* pointer) noexcept {
  give(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
  give(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
  give(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
  give(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
  give(pointer);
}

namespace vz::test {

AllocationMeter::AllocationMeter() : start_(held.load()) {
  peak.store(start_);
}

int64_t AllocationMeter::peakBytes() const {
  return peak.load() - start_;
}

AllocationCeiling::AllocationCeiling(size_t largest) {
  ceiling.store(largest);
}

AllocationCeiling::~AllocationCeiling() {
  ceiling.store(std::numeric_limits<size_t>::max());
}

}  // namespace vz::test
