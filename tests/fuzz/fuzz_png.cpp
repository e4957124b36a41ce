// readPng on arbitrary bytes: never a read past the data, never a crash, and either a
// picture of its stated size or an empty document. Each input is read as it is, and once
// more with the CRC of every whole chunk made right, so that changed bytes get past the
// checks into the decoder. Seeds: a few files of the PNG suite. Pictures are held to a
// million pixels: a few kilobytes of zeros inflate to a large picture, whose rows would
// take the fuzzer's time without reaching other code.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "converter/formats/png_reader.h"

namespace {

constexpr int64_t kMaxPixels = int64_t{1} << 20;

void checkOutcome(vz::Status status, const vz::ImageDocument& doc) {
  if (vz::givesPicture(status) &&
      doc.pixels.size() != static_cast<size_t>(doc.rowStride) * static_cast<size_t>(doc.height))
    __builtin_trap();
  if (!vz::givesPicture(status) && !doc.pixels.empty()) __builtin_trap();
}

uint32_t loadU32Be(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

void fixCrcs(std::vector<uint8_t>& file) {
  size_t pos = 8;
  while (file.size() >= pos + 12) {
    const uint32_t length = loadU32Be(&file[pos]);
    if (length > file.size() - pos - 12) break;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &file[pos + 4], length + 4));
    uint8_t* stored = &file[pos + 8 + length];
    for (int i = 0; i < 4; ++i) stored[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    pos += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the given size, so that any over-read hits the sanitizer.
  std::vector<uint8_t> file(data, data + size);
  const vz::ReadOptions options{kMaxPixels, true};
  vz::ImageDocument doc;
  checkOutcome(vz::readPng(file.size(), file.data(), doc, options), doc);
  fixCrcs(file);
  checkOutcome(vz::readPng(file.size(), file.data(), doc, options), doc);
  return 0;
}
