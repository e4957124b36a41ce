// Little-endian fields of picture files. A reader checks that the bytes are there; a
// writer that the room is.
#pragma once

#include <cstdint>
#include <vector>

namespace vz {

inline uint32_t loadU16Le(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t loadU32Le(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t loadI32Le(const uint8_t* p) {
  return static_cast<int32_t>(loadU32Le(p));
}

inline uint64_t loadU64Le(const uint8_t* p) {
  return loadU32Le(p) | static_cast<uint64_t>(loadU32Le(p + 4)) << 32;
}

// Stores the low `bytes` bytes of the value at `out`; returns the end.
inline uint8_t* storeLe(uint8_t* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) *out++ = static_cast<uint8_t>(value >> (8 * i));
  return out;
}

inline void appendLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace vz
