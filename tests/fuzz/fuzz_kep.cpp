// readKep on arbitrary bytes: never a read past the data, never a crash.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/tvc/kep_reader.h"

namespace {

// Header forms may legitimately ask for pictures of up to 2 GB of zeros; those take
// the same paths as small ones and would only slow the run down.
bool claimsHugePicture(const std::vector<uint8_t>& file) {
  if (file.size() < 12 || file[0] != 'K' || file[1] != 'E' || file[2] != 'P' || file[3] < 4)
    return false;
  const uint32_t width = file[8] | static_cast<uint32_t>(file[9]) << 8;
  const uint32_t height = file[10] | static_cast<uint32_t>(file[11]) << 8;
  return static_cast<uint64_t>(width) * height > (uint64_t{1} << 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  if (claimsHugePicture(file)) return 0;
  vz::ImageDocument doc;
  vz::KepDecodeColours colours{};
  const int32_t result = vz::readKep(file.size(), file.data(), doc, colours);
  if (result > 0 && doc.pixels.size() != static_cast<size_t>(result)) __builtin_trap();
  if (result > 0 && static_cast<size_t>(doc.rowStride) * doc.height > doc.pixels.size())
    __builtin_trap();
  if (doc.rowStride % 4 != 0) __builtin_trap();
  return 0;
}
