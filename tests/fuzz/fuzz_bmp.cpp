// readBmp on arbitrary bytes: never a read past the data, never a crash.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  vz::ImageDocument doc;
  const int32_t result = vz::readBmp(file.size(), file.data(), doc);
  if (result > 0 && doc.pixels.size() != static_cast<size_t>(result)) __builtin_trap();
  vz::readDib(0, file.data(), file.size(), doc);
  return 0;
}
