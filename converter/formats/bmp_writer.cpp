#include "converter/formats/bmp_writer.h"

#include <cstring>

namespace vz {

namespace {

uint8_t* putLittleEndian(uint8_t* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) *out++ = static_cast<uint8_t>(value >> (8 * i));
  return out;
}

}  // namespace

std::vector<uint8_t> encodeBmp(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable) {
  std::vector<uint8_t> file;
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode)) return file;
  const auto tableBytes = static_cast<uint32_t>(4 * colourTable.size());
  const uint32_t pixelOffset = 14 + 40 + tableBytes;
  const auto imageBytes = static_cast<uint32_t>(doc.rowStride) * static_cast<uint32_t>(doc.height);
  // The whole file in one buffer, made once, and its rows copied in whole.
  if (!allocateZeroed(file, size_t{pixelOffset} + imageBytes)) return file;
  uint8_t* out = file.data();
  *out++ = 'B';
  *out++ = 'M';
  out = putLittleEndian(out, pixelOffset + imageBytes, 4);
  out = putLittleEndian(out, 0, 4);
  out = putLittleEndian(out, pixelOffset, 4);
  out = putLittleEndian(out, 40, 4);
  out = putLittleEndian(out, static_cast<uint32_t>(doc.width), 4);
  out = putLittleEndian(out, static_cast<uint32_t>(doc.height), 4);  // bottom-up rows
  out = putLittleEndian(out, 1, 2);
  out = putLittleEndian(out, static_cast<uint32_t>(bitsPerPixel(doc.colourMode)), 2);
  out = putLittleEndian(out, 0, 4);  // uncompressed
  out = putLittleEndian(out, imageBytes, 4);
  out = putLittleEndian(out, 2835, 4);  // 72 dots per inch
  out = putLittleEndian(out, 2835, 4);
  out = putLittleEndian(out, static_cast<uint32_t>(colourTable.size()), 4);
  out = putLittleEndian(out, 0, 4);
  for (ColourValue colour : colourTable) {
    *out++ = blueOf(colour);
    *out++ = greenOf(colour);
    *out++ = redOf(colour);
    *out++ = 0;
  }
  for (int32_t y = doc.height - 1; y >= 0; --y, out += doc.rowStride)
    std::memcpy(out, doc.row(y), static_cast<size_t>(doc.rowStride));
  return file;
}

}  // namespace vz
