#include "converter/readers/pcx.h"

namespace vz {

int32_t readPcx(size_t, const uint8_t*, ImageDocument&) {
  return 0;
}

}  // namespace vz
