#include "converter/formats/bmp_writer.h"

namespace vz {

namespace {

void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> encodeBmp(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable) {
  std::vector<uint8_t> out;
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode)) return out;
  const auto tableBytes = static_cast<uint32_t>(4 * colourTable.size());
  const uint32_t pixelOffset = 14 + 40 + tableBytes;
  const auto imageBytes = static_cast<uint32_t>(doc.rowStride) * static_cast<uint32_t>(doc.height);
  out.reserve(pixelOffset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  putLittleEndian(out, pixelOffset + imageBytes, 4);
  putLittleEndian(out, 0, 4);
  putLittleEndian(out, pixelOffset, 4);
  putLittleEndian(out, 40, 4);
  putLittleEndian(out, static_cast<uint32_t>(doc.width), 4);
  putLittleEndian(out, static_cast<uint32_t>(doc.height), 4);  // bottom-up rows
  putLittleEndian(out, 1, 2);
  putLittleEndian(out, static_cast<uint32_t>(bitsPerPixel(doc.colourMode)), 2);
  putLittleEndian(out, 0, 4);  // uncompressed
  putLittleEndian(out, imageBytes, 4);
  putLittleEndian(out, 2835, 4);  // 72 dots per inch
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, static_cast<uint32_t>(colourTable.size()), 4);
  putLittleEndian(out, 0, 4);
  for (ColourValue colour : colourTable) {
    out.push_back(blueOf(colour));
    out.push_back(greenOf(colour));
    out.push_back(redOf(colour));
    out.push_back(0);
  }
  for (int32_t y = doc.height - 1; y >= 0; --y) {
    const uint8_t* row = doc.row(y);
    out.insert(out.end(), row, row + doc.rowStride);
  }
  return out;
}

}  // namespace vz
