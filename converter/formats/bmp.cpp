#include "converter/formats/bmp.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/little_endian.h"
#include "converter/formats/bit_fields.h"
#include "converter/formats/growing_picture.h"

namespace vz {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kOs2HeaderSize = 12;
constexpr uint32_t kMinInfoHeaderSize = 40;
constexpr uint32_t kMaskFieldsEnd = 52;  // red, green and blue masks at 40, 44 and 48
constexpr uint32_t kAlphaFieldEnd = 56;  // the alpha mask at 52
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kRunLength8 = 1;
constexpr uint32_t kRunLength4 = 2;
constexpr uint32_t kBitFields = 3;
// How many pixels one byte of run-length data may stand for (see readRunLengthBitmap),
// and a size that is never too large for its data.
constexpr int32_t kMaxPixelsPerRunLengthByte = 255 * 64;
constexpr int64_t kAlwaysCoverablePixels = 1 << 20;

// The colour table of an indexed picture: entries of entrySize bytes (blue, green, red,
// and a fourth byte in the Windows headers); the rest of the colour mode's entries black.
void loadColourTable(const uint8_t* table, size_t entries, size_t entrySize,
                     ImageDocument& picture) {
  std::fill(picture.palette.begin(), picture.palette.begin() + paletteEntries(picture.colourMode),
            0);
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* entry = table + entrySize * i;
    picture.palette[i] = makeColour(entry[2], entry[1], entry[0]);
  }
}

Status headerCutShort() {
  return Status(StatusCode::kDamaged, "data ends in the BMP header");
}

Status offsetIntoHeaders(uint64_t offset) {
  return Status(StatusCode::kDamaged,
                "BMP pixel data offset " + std::to_string(offset) + " points into the headers");
}

// Stored rows of sourceStride bytes from rowsStart, of which the data holds fewer than
// height: where they end.
Status rowsCutShort(uint64_t dataSize, uint64_t rowsStart, int64_t sourceStride, int64_t height) {
  if (rowsStart > dataSize)
    return Status(StatusCode::kDamaged, "BMP pixel data offset " + std::to_string(rowsStart) +
                                            " is past the end of the data");
  const auto rows =
      static_cast<int64_t>((dataSize - rowsStart) / static_cast<uint64_t>(sourceStride));
  return Status(StatusCode::kDamaged, "data ends" + atRow(rows, height));
}

// An OS/2 1.x bitmap: a 12-byte header with 16-bit width and height, a colour table of
// 3-byte entries (as many as fit before the pixels, at most the depth's), rows
// bottom-up, uncompressed.
Status readOs2Bitmap(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                     int64_t maxPixels) {
  const uint8_t* info = fileData + kFileHeaderSize;
  const uint32_t width = loadU16Le(info + 4);
  const uint32_t height = loadU16Le(info + 6);
  const uint32_t planes = loadU16Le(info + 8);
  const uint32_t bits = loadU16Le(info + 10);
  if (planes != 1)
    return failReading(doc, Status(StatusCode::kUnsupported,
                                   "BMP with " + std::to_string(planes) + " planes not supported"));
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
    return failReading(doc, Status(StatusCode::kUnsupported,
                                   "OS/2 BMP depth " + std::to_string(bits) + " not supported"));
  const ColourMode colourMode = colourModeOfBitmapDepth(bits);
  Status status = checkPictureForReading(width, height, colourMode, maxPixels);
  if (!status.ok()) return failReading(doc, status);
  const size_t tableStart = kFileHeaderSize + kOs2HeaderSize;
  const uint32_t rowsStart = loadU32Le(fileData + 10);
  const int64_t rowsSize = bitmapRowsSize(width, bits, height);
  if (rowsSize < 0) return failReading(doc, pictureOverTheLimit(width, height));
  if (rowsStart < tableStart) return failReading(doc, offsetIntoHeaders(rowsStart));
  if (rowsStart > fileSize || static_cast<uint64_t>(rowsSize) > fileSize - rowsStart)
    return failReading(doc, rowsCutShort(fileSize, rowsStart, rowsSize / height, height));

  ImageDocument picture;
  picture.palette = doc.palette;
  status = allocatePictureForReading(picture, width, height, colourMode, maxPixels);
  if (status != StatusCode::kOk) return failReading(doc, status);
  if (colourMode != ColourMode::kTrueColour)
    loadColourTable(fileData + tableStart,
                    std::min<size_t>(paletteEntries(colourMode), (rowsStart - tableStart) / 3), 3,
                    picture);
  const size_t sourceStride = static_cast<size_t>(rowsSize / height);
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(picture.row(static_cast<int32_t>(height - 1 - y)),
                fileData + rowsStart + y * sourceStride, sourceStride);
  installPicture(doc, std::move(picture));
  return StatusCode::kOk;
}

// Where run-length decoding ended: at the end-of-bitmap mark or the top of the picture
// (the picture is whole), when the data ran out, or when memory did.
enum class RunLengthEnd { kWhole, kDataEnds, kOutOfMemory };

// Run-length coded 4- or 8-bit rows, bottom-up: a count and a value paint count pixels
// (4 bits: the value's two nibbles by turns); a zero count escapes to end of line (0),
// end of bitmap (1), a move right and up by the next two bytes (2), or that many pixels
// stored as they are, padded to an even number of bytes. Pixels past the end of a row
// are dropped, and pixels never painted stay 0. The picture's rows are filled in stored
// order (row 0 the bottom one), its room growing with the rows reached; `reached` counts
// the rows begun.
RunLengthEnd decodeRunLength(const uint8_t* data, size_t size, int bits, ImageDocument& picture,
                             int64_t& reached) {
  const int64_t width = picture.width;
  const int64_t height = picture.height;
  int64_t x = 0;
  int64_t y = 0;
  reached = 1;
  uint8_t* row = picture.row(0);
  const auto paint = [&](uint8_t value) {
    if (x < width) setPackedPixel(row, static_cast<int32_t>(x), bits, value);
    ++x;
  };
  const auto pixelOf = [bits](uint8_t value, size_t i) {
    return bits == 8 ? value : static_cast<uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F);
  };
  size_t pos = 0;
  while (size - pos >= 2) {
    const uint8_t count = data[pos];
    const uint8_t value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (size_t i = 0; i < count; ++i) paint(pixelOf(value, i));
      continue;
    }
    if (value == 1) return RunLengthEnd::kWhole;
    if (value == 0 || value == 2) {
      if (value == 0) {
        x = 0;
        ++y;
      } else {
        if (size - pos < 2) return RunLengthEnd::kDataEnds;
        x += data[pos];
        y += data[pos + 1];
        pos += 2;
      }
      if (y >= height) {
        reached = height;
        return RunLengthEnd::kWhole;
      }
      reached = y + 1;
      if (!reachRows(picture, reached)) return RunLengthEnd::kOutOfMemory;
      row = picture.row(static_cast<int32_t>(y));
      continue;
    }
    const size_t bytes = bits == 8 ? value : (value + 1u) / 2;
    if (size - pos < bytes) return RunLengthEnd::kDataEnds;
    for (size_t i = 0; i < value; ++i) paint(pixelOf(data[pos + (bits == 8 ? i : i / 2)], i));
    pos += std::min(bytes + bytes % 2, size - pos);
  }
  return RunLengthEnd::kDataEnds;
}

// Stored rows (bottom first) become document rows (top first), through one spare row;
// false when that row cannot be had.
bool turnRowsOver(ImageDocument& picture) {
  const size_t stride = static_cast<size_t>(picture.rowStride);
  std::vector<uint8_t> spare;
  if (!allocateZeroed(spare, stride)) return false;
  for (int32_t top = 0, bottom = picture.height - 1; top < bottom; ++top, --bottom) {
    std::memcpy(spare.data(), picture.row(top), stride);
    std::memcpy(picture.row(top), picture.row(bottom), stride);
    std::memcpy(picture.row(bottom), spare.data(), stride);
  }
  return true;
}

// A run-length coded BMP file (RLE8 or RLE4) with a Windows header of 40 bytes or more.
// kPartial when the data ends before the end-of-bitmap mark and the last row.
Status readRunLengthBitmap(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                           int64_t maxPixels) {
  const uint8_t* info = fileData + kFileHeaderSize;
  const uint32_t headerSize = loadU32Le(info);
  const int32_t width = loadI32Le(info + 4);
  const int32_t height = loadI32Le(info + 8);
  const uint32_t bits = loadU16Le(info + 14);
  const uint32_t coloursUsed = loadU32Le(info + 32);
  // Run-length rows are stored bottom-up only.
  if (height < 0)
    return failReading(doc, Status(StatusCode::kDamaged, "run-length BMP stored top-down"));
  const ColourMode colourMode = colourModeOfBitmapDepth(bits);
  const size_t tableStart = kFileHeaderSize + headerSize;
  const size_t tableEntries = std::min<size_t>(
      coloursUsed == 0 ? paletteEntries(colourMode) : coloursUsed, paletteEntries(colourMode));
  const uint32_t dataStart = loadU32Le(fileData + 10);
  if (tableStart + 4 * tableEntries > fileSize)
    return failReading(doc, Status(StatusCode::kDamaged, "data ends in the colour table"));
  if (dataStart < tableStart) return failReading(doc, offsetIntoHeaders(dataStart));
  if (dataStart > fileSize) return failReading(doc, rowsCutShort(fileSize, dataStart, 1, height));
  // A run paints at most 255 pixels from two bytes and a move skips at most 255 rows
  // from four; a picture far larger than its data could cover so (a few bytes claiming
  // gigabytes) is refused, as the other readers refuse headers that claim more than
  // their data can fill.
  const uint64_t dataSize = fileSize - dataStart;
  const int64_t coverable = int64_t{kMaxPixelsPerRunLengthByte} * static_cast<int64_t>(dataSize);
  if (int64_t{width} * height > std::max<int64_t>(coverable, kAlwaysCoverablePixels))
    return failReading(
        doc, Status(StatusCode::kDamaged, "run-length data of " + std::to_string(dataSize) +
                                              " bytes cannot fill a picture of " +
                                              sizeText(width, height)));

  ImageDocument picture;
  picture.palette = doc.palette;
  Status status = startGrowingPicture(picture, width, height, colourMode, maxPixels,
                                      kFirstRoomPerDataByte * dataSize);
  if (!status.ok()) return failReading(doc, status);
  loadColourTable(fileData + tableStart, tableEntries, 4, picture);
  int64_t reached = 0;
  const RunLengthEnd end =
      decodeRunLength(fileData + dataStart, dataSize, static_cast<int>(bits), picture, reached);
  if (end == RunLengthEnd::kOutOfMemory) return failReading(doc, StatusCode::kOutOfMemory);
  status = StatusCode::kOk;
  if (end == RunLengthEnd::kDataEnds)
    status = endBrokenPicture(picture, reached, "data ends" + atRow(reached - 1, height));
  else if (!reachRows(picture, height))
    status = StatusCode::kOutOfMemory;
  if (givesPicture(status) && !turnRowsOver(picture)) status = StatusCode::kOutOfMemory;
  if (!givesPicture(status)) return failReading(doc, status);
  installPicture(doc, std::move(picture));
  return status;
}

}  // namespace

ColourMode colourModeOfBitmapDepth(uint32_t bits) {
  switch (bits) {
    case 1:
      return ColourMode::kColours2;
    case 4:
      return ColourMode::kColours16;
    case 8:
      return ColourMode::kColours256;
    default:
      return ColourMode::kTrueColour;
  }
}

int64_t bitmapRowsSize(int64_t width, uint32_t bits, int64_t height) {
  if (width < 0 || width > (int64_t{1} << 31) || bits > 32 || height < 0) return -1;
  const int64_t stride = (width * bits + 31) / 32 * 4;
  // Divided, not multiplied: the product of a wide row and a tall picture overflows.
  if (stride > 0 && height > kMaxPictureBytes / stride) return -1;
  return stride * height;
}

namespace {

// How a BMP file holds its rows: as they are (plain or with bit fields), run-length coded,
// or behind an OS/2 1.x header.
enum class BmpForm { kRows, kRunLength, kOs2 };

std::string compressionText(uint32_t compression) {
  static const char* const kNames[] = {
      "none", "RLE8", "RLE4", "bit fields", "JPEG", "PNG", "alpha bit fields"};
  std::string text = "BMP compression " + std::to_string(compression);
  if (compression < sizeof kNames / sizeof kNames[0])
    text += std::string(" (") + kNames[compression] + ")";
  else if (compression >= 11 && compression <= 13)
    text += " (CMYK)";
  return text;
}

Status unsupportedCompression(uint32_t compression, uint32_t bits) {
  std::string reason = compressionText(compression);
  if (compression <= kBitFields) reason += " with " + std::to_string(bits) + " bits per pixel";
  return Status(StatusCode::kUnsupported, reason + " not supported");
}

Status unsupportedHeader(uint32_t headerSize) {
  return Status(StatusCode::kUnsupported,
                "BMP header of " + std::to_string(headerSize) + " bytes not supported");
}

// Checks a BMP file's header and the fixed part of its information header, which are at
// `head` (at least the first 14 + 40 bytes of the file, or all of a shorter one); fileSize
// is the size of the whole file. Gives the form and, for kRows, the rows' offset from the
// information header.
Status checkBmpHeader(const uint8_t* head, size_t fileSize, BmpForm& form, uint32_t& pixelOffset) {
  if (fileSize < 2 || head[0] != 'B' || head[1] != 'M')
    return Status(StatusCode::kNotThisFormat, "not a BMP file");
  form = BmpForm::kOs2;
  if (fileSize >= kFileHeaderSize + kOs2HeaderSize &&
      loadU32Le(head + kFileHeaderSize) == kOs2HeaderSize)
    return StatusCode::kOk;
  if (fileSize < kFileHeaderSize + kMinInfoHeaderSize) return headerCutShort();
  const uint8_t* info = head + kFileHeaderSize;
  const uint32_t headerSize = loadU32Le(info);
  const uint32_t planes = loadU16Le(info + 12);
  const uint32_t bits = loadU16Le(info + 14);
  const uint32_t compression = loadU32Le(info + 16);
  const bool runLength =
      (compression == kRunLength8 && bits == 8) || (compression == kRunLength4 && bits == 4);
  if (headerSize < kMinInfoHeaderSize) return unsupportedHeader(headerSize);
  if (planes != 1)
    return Status(StatusCode::kUnsupported,
                  "BMP with " + std::to_string(planes) + " planes not supported");
  if (compression != kUncompressed && compression != kBitFields && !runLength)
    return unsupportedCompression(compression, bits);
  form = runLength ? BmpForm::kRunLength : BmpForm::kRows;
  if (runLength) return StatusCode::kOk;
  // The pixel offset is measured from the information header; one pointing into the
  // headers is refused rather than read as pixels.
  const uint32_t fileOffset = loadU32Le(head + 10);
  if (fileOffset < kFileHeaderSize + static_cast<uint64_t>(headerSize))
    return offsetIntoHeaders(fileOffset);
  pixelOffset = fileOffset - static_cast<uint32_t>(kFileHeaderSize);
  return StatusCode::kOk;
}

// Where a DIB's rows are and how to turn them into the document's.
struct DibRows {
  uint64_t start = 0;  // from the start of the DIB
  int64_t sourceStride = 0;
  int64_t height = 0;
  bool topDown = false;
  bool bitFields = false;  // 16 or 32 bits: each row converted
  int bits = 0;
  ChannelMasks masks;
};

// Reads a DIB's headers and colour table and makes its (zeroed) picture, palette set, ready
// for the rows; every check is against dibSize.
Status startDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize, int64_t maxPixels,
                ImageDocument& picture, DibRows& rows) {
  if (dibSize < kMinInfoHeaderSize) return headerCutShort();
  const uint32_t headerSize = loadU32Le(dib);
  if (headerSize < kMinInfoHeaderSize) return unsupportedHeader(headerSize);
  if (headerSize > dibSize) return headerCutShort();
  const int32_t width = loadI32Le(dib + 4);
  const int32_t storedHeight = loadI32Le(dib + 8);
  const uint32_t bits = loadU16Le(dib + 14);
  const uint32_t compression = loadU32Le(dib + 16);
  const uint32_t coloursUsed = loadU32Le(dib + 32);
  const bool topDown = storedHeight < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(storedHeight) : storedHeight;

  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  const bool bitFieldDepth = bits == 16 || bits == 32;
  if (!indexed && bits != 24 && !bitFieldDepth)
    return Status(StatusCode::kUnsupported, "BMP depth " + std::to_string(bits) + " not supported");
  if (compression != kUncompressed && !(bitFieldDepth && compression == kBitFields))
    return unsupportedCompression(compression, bits);

  const ColourMode colourMode = colourModeOfBitmapDepth(bits);
  const Status claim = checkPictureForReading(width, height, colourMode, maxPixels);
  if (!claim.ok()) return claim;
  const int64_t rowsSize = bitmapRowsSize(width, bits, height);
  if (rowsSize < 0) return pictureOverTheLimit(width, height);

  // The masks of a bit-field DIB follow a 40-byte header, or are part of a longer one;
  // a header long enough for an alpha mask may ask for transparency too.
  size_t tableStart = headerSize;
  ChannelMasks masks = plainChannelMasks(static_cast<int>(bits));
  if (compression == kBitFields) {
    if (headerSize == kMinInfoHeaderSize)
      tableStart = kMaskFieldsEnd;
    else if (headerSize < kMaskFieldsEnd)
      return Status(StatusCode::kDamaged, "BMP header of " + std::to_string(headerSize) +
                                              " bytes cannot hold the bit-field masks");
    if (dibSize < kMaskFieldsEnd)
      return Status(StatusCode::kDamaged, "data ends in the bit-field masks");
    masks = {loadU32Le(dib + 40), loadU32Le(dib + 44), loadU32Le(dib + 48)};
    // Alpha bits outside the pixel would make every pixel transparent: they count as none.
    const uint32_t pixelBits = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    if (headerSize >= kAlphaFieldEnd) masks.alpha = loadU32Le(dib + 52) & pixelBits;
  }

  size_t tableEntries = coloursUsed;
  if (indexed && tableEntries == 0) tableEntries = static_cast<size_t>(colourMode);
  tableEntries = std::min<size_t>(tableEntries, 256);
  if (indexed && tableStart + 4 * tableEntries > dibSize)
    return Status(StatusCode::kDamaged, "data ends in the colour table");

  const uint64_t rowsStart = pixelOffset != 0 ? pixelOffset : tableStart + 4 * tableEntries;
  if (rowsStart > dibSize || static_cast<uint64_t>(rowsSize) > dibSize - rowsStart)
    return rowsCutShort(dibSize, rowsStart, rowsSize / height, height);

  const Status status = allocatePictureForReading(picture, width, height, colourMode, maxPixels);
  if (status != StatusCode::kOk) return status;
  if (indexed) {
    std::fill(picture.palette.begin(), picture.palette.begin() + paletteEntries(colourMode), 0);
    for (size_t i = 0; i < tableEntries; ++i) {
      const uint8_t* entry = dib + tableStart + 4 * i;
      picture.palette[i] = makeColour(entry[2], entry[1], entry[0]);
    }
  }
  rows = {rowsStart,     rowsSize / height,      height, topDown,
          bitFieldDepth, static_cast<int>(bits), masks};
  return StatusCode::kOk;
}

// The document row a stored row goes to.
int32_t documentRow(const DibRows& rows, int64_t storedRow) {
  return static_cast<int32_t>(rows.topDown ? storedRow : rows.height - 1 - storedRow);
}

}  // namespace

Status readBmp(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  BmpForm form = BmpForm::kRows;
  uint32_t pixelOffset = 0;
  const Status status = checkBmpHeader(fileData, fileSize, form, pixelOffset);
  if (status != StatusCode::kOk) return failReading(doc, status);
  if (form == BmpForm::kOs2) return readOs2Bitmap(fileSize, fileData, doc, options.maxPixels);
  if (form == BmpForm::kRunLength)
    return readRunLengthBitmap(fileSize, fileData, doc, options.maxPixels);
  return readDib(pixelOffset, fileData + kFileHeaderSize, fileSize - kFileHeaderSize, doc,
                 options.maxPixels);
}

bool claimBmp(size_t size, const uint8_t* head, uint64_t, PictureClaim& claim) {
  if (size < kFileHeaderSize + kOs2HeaderSize || head[0] != 'B' || head[1] != 'M') return false;
  const uint8_t* info = head + kFileHeaderSize;
  if (loadU32Le(info) == kOs2HeaderSize) {
    claim = {loadU16Le(info + 4), loadU16Le(info + 6)};
    return true;
  }
  const int64_t height = loadI32Le(info + 8);
  claim = {loadI32Le(info + 4), height < 0 ? -height : height};
  return true;
}

Status readDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize, ImageDocument& doc,
               int64_t maxPixels) {
  ImageDocument picture;
  picture.palette = doc.palette;
  DibRows rows;
  const Status status = startDib(pixelOffset, dib, dibSize, maxPixels, picture, rows);
  if (status != StatusCode::kOk) return failReading(doc, status);
  const auto storedRow = [&](int64_t stored) {
    return dib + rows.start + static_cast<uint64_t>(stored) * rows.sourceStride;
  };
  if (rows.masks.alpha != 0) {
    bool anyAlpha = false;
    for (int64_t stored = 0; stored < rows.height && !anyAlpha; ++stored)
      anyAlpha = rowHasAlpha(storedRow(stored), rows.bits, picture.width, rows.masks.alpha);
    if (!anyAlpha) rows.masks.alpha = 0;
  }
  for (int64_t stored = 0; stored < rows.height; ++stored) {
    const uint8_t* source = storedRow(stored);
    uint8_t* target = picture.row(documentRow(rows, stored));
    if (rows.bitFields)
      bitFieldRowToBgr(source, rows.bits, picture.width, rows.masks, target);
    else
      std::memcpy(target, source, static_cast<size_t>(picture.rowStride));
  }
  installPicture(doc, std::move(picture));
  return StatusCode::kOk;
}

}  // namespace vz
