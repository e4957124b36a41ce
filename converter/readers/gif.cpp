#include "converter/readers/gif.h"

namespace vz {

int32_t readGif(size_t, const uint8_t*, ImageDocument&) {
  return 0;
}

}  // namespace vz
