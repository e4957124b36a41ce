// readVid on arbitrary bytes: never a read past the data, never a crash, and the
// height never beyond the rows of the buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/tvc/kep_reader.h"

namespace {

// Frames of many kilobytes give buffers of megabytes (40 frames, up to four document
// bytes a TVC byte); they take the same paths as small ones and would only slow the run.
bool claimsLargeFrames(const std::vector<uint8_t>& file) {
  return file.size() >= 26 && (file[24] | file[25] << 8) > 4096;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  if (claimsLargeFrames(file)) return 0;
  vz::ImageDocument doc;
  const vz::Status status = vz::readVid(file.size(), file.data(), doc);
  if (!vz::givesPicture(status)) {
    if (!doc.pixels.empty()) __builtin_trap();
    return 0;
  }
  if (doc.pixels.size() < static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    __builtin_trap();
  if (doc.height <= 0 || static_cast<size_t>(doc.rowStride) * doc.height > doc.pixels.size())
    __builtin_trap();
  return 0;
}
