// The unit tests' operator new goes through a meter (allocation_meter.cpp replaces it for
// the whole test program): it counts the bytes held, remembers their peak, and can refuse
// allocations above a ceiling as if memory had run out. Tests assert memory bounds and
// out-of-memory paths through it, exactly and without the clock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vz::test {

// Measures while it lives: the most bytes held at once through operator new, beyond those
// held when it started. One at a time.
class AllocationMeter {
 public:
  AllocationMeter();
  AllocationMeter(const AllocationMeter&) = delete;
  AllocationMeter& operator=(const AllocationMeter&) = delete;
  int64_t peakBytes() const;

 private:
  int64_t start_;
};

// While it lives, every allocation of more than `largest` bytes fails: operator new throws
// std::bad_alloc, the nothrow form answers nullptr.
class AllocationCeiling {
 public:
  explicit AllocationCeiling(size_t largest);
  ~AllocationCeiling();
  AllocationCeiling(const AllocationCeiling&) = delete;
  AllocationCeiling& operator=(const AllocationCeiling&) = delete;
};

}  // namespace vz::test
