// Little-endian fields of picture files. The caller checks that the bytes are there.
#pragma once

#include <cstdint>

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

}  // namespace vz
