// readBmp and readDib on arbitrary bytes: never a read past the data, never a crash,
// and either a whole picture or an empty document.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/bmp.h"

namespace {

void checkOutcome(const vz::Status& status, const vz::ImageDocument& doc) {
  if (!vz::givesPicture(status) && !doc.pixels.empty()) __builtin_trap();
  if (vz::givesPicture(status) &&
      doc.pixels.size() != static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  vz::ImageDocument doc;
  checkOutcome(vz::readBmp(file.size(), file.data(), doc), doc);
  checkOutcome(vz::readDib(0, file.data(), file.size(), doc), doc);
  return 0;
}
