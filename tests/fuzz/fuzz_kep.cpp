// readKep on arbitrary bytes: never a read past the data, never a crash, and a picture
// no larger than its data can fill.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/tvc/kep_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  vz::ImageDocument doc;
  const vz::Status status = vz::readKep(file.size(), file.data(), doc);
  if (!vz::givesPicture(status)) {
    if (!doc.pixels.empty()) __builtin_trap();
    return 0;
  }
  if (doc.pixels.size() < static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    __builtin_trap();
  if (static_cast<size_t>(doc.rowStride) * doc.height > doc.pixels.size()) __builtin_trap();
  if (doc.rowStride % 4 != 0) __builtin_trap();
  // A run pair gives at most 63 TVC bytes, a row of one TVC byte takes 4 document bytes,
  // and a row begun counts whole.
  if (doc.pixels.size() > 128 * file.size() + static_cast<size_t>(doc.rowStride)) __builtin_trap();
  return 0;
}
