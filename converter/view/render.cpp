#include "converter/view/render.h"

namespace vz {

RenderDescription describeRender(const ImageDocument& doc, bool blackAndWhiteView) {
  RenderDescription description;
  description.bitsPerPixel = bitsPerPixel(doc.colourMode);
  if (doc.colourMode == kTrueColour || description.bitsPerPixel == 0) return description;
  const int entries = doc.colourMode == 4 ? 16 : doc.colourMode;
  description.colourTable.reserve(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    const ColourValue colour = doc.palette[static_cast<size_t>(i)];
    if (blackAndWhiteView) {
      const auto grey = static_cast<uint8_t>(greyLevel(colour));
      description.colourTable.push_back(makeColour(grey, grey, grey));
    } else {
      description.colourTable.push_back(colour);
    }
  }
  return description;
}

namespace {

void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> encodeBmp(const ImageDocument& doc, bool blackAndWhiteView) {
  std::vector<uint8_t> out;
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode)) return out;
  const RenderDescription description = describeRender(doc, blackAndWhiteView);
  const auto tableBytes = static_cast<uint32_t>(4 * description.colourTable.size());
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
  putLittleEndian(out, static_cast<uint32_t>(description.bitsPerPixel), 2);
  putLittleEndian(out, 0, 4);  // uncompressed
  putLittleEndian(out, imageBytes, 4);
  putLittleEndian(out, 2835, 4);  // 72 dots per inch
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, static_cast<uint32_t>(description.colourTable.size()), 4);
  putLittleEndian(out, 0, 4);
  for (ColourValue colour : description.colourTable) {
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
