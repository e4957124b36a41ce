#include "converter/formats/pcx.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "base/little_endian.h"
#include "converter/formats/growing_picture.h"

namespace vz {

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kMaker = 0x0A;  // ZSoft's
constexpr uint8_t kRleEncoding = 1;
constexpr uint8_t kPaletteVersion = 5;
constexpr uint8_t kPaletteMarker = 0x0C;
constexpr size_t kTrailingPaletteSize = 1 + 256 * 3;  // marker, then 256 triples
constexpr size_t kHeaderPaletteOffset = 16;

// Packed as tightly as RLE allows, two file bytes give 63 scan-line bytes. A header
// claiming far more than its data could ever give is refused before anything is
// allocated; the allowance keeps small pictures with cut-short data readable.
constexpr uint64_t kMaxExpansion = 32;
constexpr uint64_t kExpansionAllowance = uint64_t{1} << 20;

enum class Form { kMonochrome, kFourPlanes, kNibbles, kBytes, kTrueColour, kUnsupported };

Form formOf(uint32_t bitsPerPlane, uint32_t planes) {
  if (bitsPerPlane == 1 && planes == 1) return Form::kMonochrome;
  if (bitsPerPlane == 1 && planes == 4) return Form::kFourPlanes;
  if (bitsPerPlane == 4 && planes == 1) return Form::kNibbles;
  if (bitsPerPlane == 8 && planes == 1) return Form::kBytes;
  if (bitsPerPlane == 8 && planes == 3) return Form::kTrueColour;
  return Form::kUnsupported;
}

// The RLE byte stream; a run may go on into the next scan line.
struct RleReader {
  const uint8_t* data;
  size_t end;
  size_t pos;
  size_t runLeft = 0;
  uint8_t runValue = 0;

  // Fills up to count bytes; fewer only when the data ends.
  size_t fill(uint8_t* out, size_t count) {
    size_t filled = 0;
    while (filled < count) {
      if (runLeft > 0) {
        const size_t take = std::min(runLeft, count - filled);
        std::memset(out + filled, runValue, take);
        filled += take;
        runLeft -= take;
        continue;
      }
      if (pos >= end) break;
      const uint8_t code = data[pos++];
      if (code < 0xC0) {
        out[filled++] = code;
        continue;
      }
      if (pos >= end) break;
      runValue = data[pos++];
      runLeft = code & 0x3F;
    }
    return filled;
  }
};

// Four 1-bit planes give a 4-bit value per pixel, plane k in bit k. The nibble after
// an odd width comes from the planes too, like every other.
void planesToNibbles(const uint8_t* scanLine, size_t bytesPerLine, int32_t width, uint8_t* row) {
  const int32_t pixels = (width + 1) & ~1;
  for (int32_t x = 0; x < pixels; ++x) {
    const size_t byte = static_cast<size_t>(x) / 8;
    const int shift = 7 - x % 8;
    uint8_t value = 0;
    for (int plane = 0; plane < 4; ++plane)
      value |=
          static_cast<uint8_t>(((scanLine[plane * bytesPerLine + byte] >> shift) & 1) << plane);
    setPackedPixel(row, x, 4, value);
  }
}

// Red, green and blue planes become blue, green, red pixels.
void planesToTrueColour(const uint8_t* scanLine, size_t bytesPerLine, int32_t width, uint8_t* row) {
  const uint8_t* red = scanLine;
  const uint8_t* green = scanLine + bytesPerLine;
  const uint8_t* blue = scanLine + 2 * bytesPerLine;
  for (int32_t x = 0; x < width; ++x) {
    row[3 * x] = blue[x];
    row[3 * x + 1] = green[x];
    row[3 * x + 2] = red[x];
  }
}

void readTriples(const uint8_t* triples, int count, ImageDocument& picture) {
  for (int i = 0; i < count; ++i)
    picture.palette[i] = makeColour(triples[3 * i], triples[3 * i + 1], triples[3 * i + 2]);
}

}  // namespace

bool claimPcx(size_t size, const uint8_t* head, uint64_t, PictureClaim& claim) {
  if (size < 12 || head[0] != kMaker) return false;
  const int64_t xMin = loadU16Le(head + 4), yMin = loadU16Le(head + 6);
  const int64_t xMax = loadU16Le(head + 8), yMax = loadU16Le(head + 10);
  claim = {xMax - xMin + 1, yMax - yMin + 1};
  return true;
}

Status readPcx(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  if (fileSize < 1 || fileData[0] != kMaker)
    return failReading(doc, Status(StatusCode::kNotThisFormat, "not a PCX file"));
  if (fileSize < kHeaderSize)
    return failReading(doc, Status(StatusCode::kDamaged, "data ends in the PCX header"));
  if (fileData[2] != kRleEncoding)
    return failReading(doc,
                       Status(StatusCode::kUnsupported,
                              "PCX encoding " + std::to_string(fileData[2]) + " not supported"));
  const uint8_t version = fileData[1];
  const uint32_t bitsPerPlane = fileData[3];
  const uint32_t xMin = loadU16Le(fileData + 4);
  const uint32_t yMin = loadU16Le(fileData + 6);
  const uint32_t xMax = loadU16Le(fileData + 8);
  const uint32_t yMax = loadU16Le(fileData + 10);
  const uint32_t planes = fileData[65];
  const size_t bytesPerLine = loadU16Le(fileData + 66);
  if (xMax < xMin || yMax < yMin)
    return failReading(
        doc, Status(StatusCode::kDamaged, "PCX window " + std::to_string(xMin) + ".." +
                                              std::to_string(xMax) + " x " + std::to_string(yMin) +
                                              ".." + std::to_string(yMax) + " not valid"));
  const int32_t width = static_cast<int32_t>(xMax - xMin + 1);
  const int32_t height = static_cast<int32_t>(yMax - yMin + 1);

  const Form form = formOf(bitsPerPlane, planes);
  if (form == Form::kUnsupported)
    return failReading(doc, Status(StatusCode::kUnsupported,
                                   "PCX of " + std::to_string(planes) + " planes of " +
                                       std::to_string(bitsPerPlane) + " bits not supported"));
  if (bytesPerLine < (static_cast<size_t>(width) * bitsPerPlane + 7) / 8)
    return failReading(doc, Status(StatusCode::kDamaged,
                                   "PCX lines of " + std::to_string(bytesPerLine) +
                                       " bytes cannot hold " + std::to_string(width) + " pixels"));

  ColourMode colourMode = ColourMode::kColours16;
  if (form == Form::kMonochrome) colourMode = ColourMode::kColours2;
  if (form == Form::kBytes) colourMode = ColourMode::kColours256;
  if (form == Form::kTrueColour) colourMode = ColourMode::kTrueColour;

  const bool trailingPalette = form == Form::kBytes && version == kPaletteVersion &&
                               fileSize >= kHeaderSize + kTrailingPaletteSize &&
                               fileData[fileSize - kTrailingPaletteSize] == kPaletteMarker;
  // The palette's bytes are not picture data, even when the rows end early.
  const size_t dataEnd = trailingPalette ? fileSize - kTrailingPaletteSize : fileSize;
  const size_t scanLineSize = bytesPerLine * planes;
  const uint64_t scanLineTotal = static_cast<uint64_t>(scanLineSize) * height;
  // More than kMaxExpansion per data byte plus the allowance, divided so that no data
  // size can overflow it.
  if (scanLineTotal > kExpansionAllowance &&
      (scanLineTotal - kExpansionAllowance - 1) / kMaxExpansion >= dataEnd - kHeaderSize)
    return failReading(
        doc, Status(StatusCode::kDamaged, "image data of " + std::to_string(dataEnd - kHeaderSize) +
                                              " bytes cannot fill a picture of " +
                                              sizeText(width, height)));

  ImageDocument picture;
  picture.palette = doc.palette;
  Status status = startGrowingPicture(picture, width, height, colourMode, options.maxPixels,
                                      kFirstRoomPerDataByte * (dataEnd - kHeaderSize));
  if (!status.ok()) return failReading(doc, status);

  if (form == Form::kMonochrome) {
    picture.palette[0] = makeColour(0, 0, 0);
    picture.palette[1] = makeColour(255, 255, 255);
  } else if (trailingPalette) {
    readTriples(fileData + fileSize - kTrailingPaletteSize + 1, 256, picture);
  } else if (form != Form::kTrueColour) {
    // An 8-bit picture without its 256 colours keeps its pixels, shown with the
    // header's 16 colours and black for the rest.
    if (colourMode == ColourMode::kColours256)
      std::fill(picture.palette.begin(), picture.palette.end(), 0);
    readTriples(fileData + kHeaderPaletteOffset, 16, picture);
  }

  RleReader rle{fileData, dataEnd, kHeaderSize};
  std::vector<uint8_t> scanLine;
  if (!allocateZeroed(scanLine, scanLineSize)) return failReading(doc, StatusCode::kOutOfMemory);
  const size_t packedBytes = (static_cast<size_t>(width) * bitsPerPlane + 7) / 8;
  int32_t rowsDone = 0;
  int32_t rowsWithData = 0;
  for (int32_t y = 0; y < height; ++y) {
    const size_t filled = rle.fill(scanLine.data(), scanLineSize);
    if (filled == 0) break;
    if (!reachRows(picture, y + 1)) return failReading(doc, StatusCode::kOutOfMemory);
    rowsWithData = y + 1;
    // Data that ends inside a row leaves the rest of the row 0, and the rows below too.
    std::fill(scanLine.begin() + static_cast<std::ptrdiff_t>(filled), scanLine.end(), 0);
    uint8_t* row = picture.row(y);
    if (form == Form::kFourPlanes)
      planesToNibbles(scanLine.data(), bytesPerLine, width, row);
    else if (form == Form::kTrueColour)
      planesToTrueColour(scanLine.data(), bytesPerLine, width, row);
    else
      std::memcpy(row, scanLine.data(), packedBytes);
    if (filled < scanLineSize) break;
    ++rowsDone;
  }

  status = rowsDone == height
               ? Status(StatusCode::kOk)
               : endBrokenPicture(picture, rowsWithData, "data ends" + atRow(rowsDone, height));
  if (status.ok() && !reachRows(picture, height)) status = StatusCode::kOutOfMemory;
  if (!givesPicture(status)) return failReading(doc, status);
  installPicture(doc, std::move(picture));
  return status;
}

}  // namespace vz
