// readGif on arbitrary bytes: never a read past the data, never a crash.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  vz::ImageDocument doc;
  const vz::Status status = vz::readGif(file.size(), file.data(), doc);
  if (vz::givesPicture(status) &&
      doc.pixels.size() != static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    __builtin_trap();
  if (!vz::givesPicture(status) && !doc.pixels.empty()) __builtin_trap();
  return 0;
}
