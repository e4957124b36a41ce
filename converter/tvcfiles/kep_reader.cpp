#include "converter/tvcfiles/kep_reader.h"

namespace vz {

int32_t readKep(size_t, const uint8_t*, ImageDocument&, KepDecodeColours&) {
  return 0;
}
int32_t readVid(size_t, const uint8_t*, ImageDocument&, KepDecodeColours&) {
  return 0;
}
int32_t readR16(size_t, const uint8_t*, ImageDocument&, KepDecodeColours&) {
  return 0;
}

}  // namespace vz
