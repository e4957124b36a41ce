#include "converter/formats/bmp_writer.h"

#include <cstring>

#include "base/little_endian.h"
#include "converter/model/file_io.h"

namespace vz {

namespace {

// The bytes before the rows: file and information headers and the colour table.
size_t headersSize(const std::vector<ColourValue>& colourTable) {
  return 14 + 40 + 4 * colourTable.size();
}

uint32_t imageBytesOf(const ImageDocument& doc) {
  return static_cast<uint32_t>(doc.rowStride) * static_cast<uint32_t>(doc.height);
}

// The file and information headers and the colour table, at `out`; returns the end.
uint8_t* putHeaders(uint8_t* out, const ImageDocument& doc,
                    const std::vector<ColourValue>& colourTable) {
  const uint32_t pixelOffset = static_cast<uint32_t>(headersSize(colourTable));
  const uint32_t imageBytes = imageBytesOf(doc);
  *out++ = 'B';
  *out++ = 'M';
  out = storeLe(out, pixelOffset + imageBytes, 4);
  out = storeLe(out, 0, 4);
  out = storeLe(out, pixelOffset, 4);
  out = storeLe(out, 40, 4);
  out = storeLe(out, static_cast<uint32_t>(doc.width), 4);
  out = storeLe(out, static_cast<uint32_t>(doc.height), 4);  // bottom-up rows
  out = storeLe(out, 1, 2);
  out = storeLe(out, static_cast<uint32_t>(bitsPerPixel(doc.colourMode)), 2);
  out = storeLe(out, 0, 4);  // uncompressed
  out = storeLe(out, imageBytes, 4);
  out = storeLe(out, 2835, 4);  // 72 dots per inch
  out = storeLe(out, 2835, 4);
  out = storeLe(out, static_cast<uint32_t>(colourTable.size()), 4);
  out = storeLe(out, 0, 4);
  for (ColourValue colour : colourTable) {
    *out++ = blueOf(colour);
    *out++ = greenOf(colour);
    *out++ = redOf(colour);
    *out++ = 0;
  }
  return out;
}

}  // namespace

std::vector<uint8_t> encodeBmp(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable) {
  std::vector<uint8_t> file;
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode)) return file;
  if (!allocateZeroed(file, headersSize(colourTable) + imageBytesOf(doc))) return file;
  uint8_t* out = putHeaders(file.data(), doc, colourTable);
  for (int32_t y = doc.height - 1; y >= 0; --y, out += doc.rowStride)
    std::memcpy(out, doc.row(y), static_cast<size_t>(doc.rowStride));
  return file;
}

Status writeBmpFile(const std::string& utf8Path, const ImageDocument& doc,
                    const std::vector<ColourValue>& colourTable) {
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode))
    return {StatusCode::kNotApplicable, "the document holds no picture"};
  std::vector<uint8_t> headers(headersSize(colourTable));
  putHeaders(headers.data(), doc, colourTable);
  // The rows go out from where they are, bottom row first.
  std::vector<ByteRange> pieces = {{headers.data(), headers.size()}};
  for (int32_t y = doc.height - 1; y >= 0; --y)
    pieces.push_back({doc.row(y), static_cast<size_t>(doc.rowStride)});
  return writeFileSafely(utf8Path, pieces);
}

}  // namespace vz
