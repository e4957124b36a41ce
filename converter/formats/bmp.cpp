#include "converter/formats/bmp.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "converter/formats/bit_fields.h"
#include "converter/model/file_io.h"
#include "converter/model/little_endian.h"

namespace vz {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kMinInfoHeaderSize = 40;
constexpr uint32_t kMaskFieldsEnd = 52;  // red, green and blue masks at 40, 44 and 48
constexpr uint32_t kAlphaFieldEnd = 56;  // the alpha mask at 52
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;

ReadStatus fail(ImageDocument& doc, ReadStatus status) {
  releasePicture(doc);
  return status;
}

}  // namespace

int32_t colourModeOfBitmapDepth(uint32_t bits) {
  switch (bits) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return kTrueColour;
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

// Checks a BMP file's header and the fixed part of its information header, which are at
// `head`; fileSize is the size of the whole file. Gives the rows' offset from the
// information header.
ReadStatus checkBmpHeader(const uint8_t* head, size_t fileSize, uint32_t& pixelOffset) {
  if (fileSize < 2 || head[0] != 'B' || head[1] != 'M') return ReadStatus::kNotThisFormat;
  if (fileSize < kFileHeaderSize + kMinInfoHeaderSize) return ReadStatus::kDamaged;
  const uint8_t* info = head + kFileHeaderSize;
  const uint32_t headerSize = loadU32Le(info);
  const uint32_t compression = loadU32Le(info + 16);
  if (headerSize < kMinInfoHeaderSize || loadU16Le(info + 12) != 1 ||
      (compression != kUncompressed && compression != kBitFields))
    return ReadStatus::kUnsupported;
  // The pixel offset is measured from the information header; one pointing into the
  // headers is refused rather than read as pixels.
  const uint32_t fileOffset = loadU32Le(head + 10);
  if (fileOffset < kFileHeaderSize + static_cast<uint64_t>(headerSize)) return ReadStatus::kDamaged;
  pixelOffset = fileOffset - static_cast<uint32_t>(kFileHeaderSize);
  return ReadStatus::kOk;
}

// The bytes of a DIB's headers: the information header, the masks and the colour table all
// lie within its first (header size or 56, whichever is more) + 1024 bytes.
size_t dibHeadersSpan(uint32_t headerSize, size_t dibSize) {
  return static_cast<size_t>(
      std::min<uint64_t>(dibSize, std::max<uint64_t>(headerSize, kAlphaFieldEnd) + 4 * 256));
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
// for the rows. dibSize is the size of the whole DIB, of which at least the first
// dibHeadersSpan bytes are at `dib`: every check is against dibSize, and every byte looked
// at lies within that span.
ReadStatus startDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize,
                    ImageDocument& picture, DibRows& rows) {
  if (dibSize < kMinInfoHeaderSize) return ReadStatus::kDamaged;
  const uint32_t headerSize = loadU32Le(dib);
  if (headerSize < kMinInfoHeaderSize) return ReadStatus::kUnsupported;
  if (headerSize > dibSize) return ReadStatus::kDamaged;
  const int32_t width = loadI32Le(dib + 4);
  const int32_t storedHeight = loadI32Le(dib + 8);
  const uint32_t bits = loadU16Le(dib + 14);
  const uint32_t compression = loadU32Le(dib + 16);
  const uint32_t coloursUsed = loadU32Le(dib + 32);
  if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN) return ReadStatus::kDamaged;
  const bool topDown = storedHeight < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(storedHeight) : storedHeight;

  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  const bool bitFieldDepth = bits == 16 || bits == 32;
  if (!indexed && bits != 24 && !bitFieldDepth) return ReadStatus::kUnsupported;
  if (compression != kUncompressed && !(bitFieldDepth && compression == kBitFields))
    return ReadStatus::kUnsupported;

  const int32_t colourMode = colourModeOfBitmapDepth(bits);
  const int64_t rowsSize = bitmapRowsSize(width, bits, height);
  if (rowsSize < 0) return ReadStatus::kTooLarge;

  // The masks of a bit-field DIB follow a 40-byte header, or are part of a longer one;
  // a header long enough for an alpha mask may ask for transparency too.
  size_t tableStart = headerSize;
  ChannelMasks masks = plainChannelMasks(static_cast<int>(bits));
  if (compression == kBitFields) {
    if (headerSize == kMinInfoHeaderSize)
      tableStart = kMaskFieldsEnd;
    else if (headerSize < kMaskFieldsEnd)
      return ReadStatus::kDamaged;
    if (dibSize < kMaskFieldsEnd) return ReadStatus::kDamaged;
    masks = {loadU32Le(dib + 40), loadU32Le(dib + 44), loadU32Le(dib + 48)};
    // Alpha bits outside the pixel would make every pixel transparent: they count as none.
    const uint32_t pixelBits = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    if (headerSize >= kAlphaFieldEnd) masks.alpha = loadU32Le(dib + 52) & pixelBits;
  }

  size_t tableEntries = coloursUsed;
  if (indexed && tableEntries == 0) tableEntries = static_cast<size_t>(colourMode);
  tableEntries = std::min<size_t>(tableEntries, 256);
  if (indexed && tableStart + 4 * tableEntries > dibSize) return ReadStatus::kDamaged;

  const uint64_t rowsStart = pixelOffset != 0 ? pixelOffset : tableStart + 4 * tableEntries;
  if (rowsStart > dibSize || static_cast<uint64_t>(rowsSize) > dibSize - rowsStart)
    return ReadStatus::kDamaged;

  const ReadStatus status = allocatePictureForReading(picture, width, height, colourMode);
  if (status != ReadStatus::kOk) return status;
  if (indexed) {
    std::fill(picture.palette.begin(), picture.palette.begin() + colourMode, 0);
    for (size_t i = 0; i < tableEntries; ++i) {
      const uint8_t* entry = dib + tableStart + 4 * i;
      picture.palette[i] = makeColour(entry[2], entry[1], entry[0]);
    }
  }
  rows = {rowsStart,     rowsSize / height,      height, topDown,
          bitFieldDepth, static_cast<int>(bits), masks};
  return ReadStatus::kOk;
}

// The document row a stored row goes to.
int32_t documentRow(const DibRows& rows, int64_t storedRow) {
  return static_cast<int32_t>(rows.topDown ? storedRow : rows.height - 1 - storedRow);
}

}  // namespace

ReadStatus readBmp(size_t fileSize, const uint8_t* fileData, ImageDocument& doc) {
  uint32_t pixelOffset = 0;
  const ReadStatus status = checkBmpHeader(fileData, fileSize, pixelOffset);
  if (status != ReadStatus::kOk) return fail(doc, status);
  return readDib(pixelOffset, fileData + kFileHeaderSize, fileSize - kFileHeaderSize, doc);
}

ReadStatus readDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize, ImageDocument& doc) {
  ImageDocument picture;
  picture.palette = doc.palette;
  DibRows rows;
  const ReadStatus status = startDib(pixelOffset, dib, dibSize, picture, rows);
  if (status != ReadStatus::kOk) return fail(doc, status);
  for (int64_t stored = 0; stored < rows.height; ++stored) {
    const uint8_t* source = dib + rows.start + static_cast<uint64_t>(stored) * rows.sourceStride;
    uint8_t* target = picture.row(documentRow(rows, stored));
    if (rows.bitFields)
      bitFieldRowToBgr(source, rows.bits, picture.width, rows.masks, target);
    else
      std::memcpy(target, source, static_cast<size_t>(picture.rowStride));
  }
  installPicture(doc, std::move(picture));
  return ReadStatus::kOk;
}

ReadStatus readBmpFile(const std::string& utf8Path, ImageDocument& doc) {
  PictureFile file;
  ReadStatus status = file.open(utf8Path);
  if (status != ReadStatus::kOk) return fail(doc, status);
  const auto fileSize = static_cast<size_t>(file.size());
  // The headers first: the first 14 + 56 + 1024 bytes, or more when the information
  // header says it is longer.
  std::vector<uint8_t> head;
  const size_t headSize = std::min(fileSize, kFileHeaderSize + kAlphaFieldEnd + 4 * 256);
  if (!allocateZeroed(head, headSize)) return fail(doc, ReadStatus::kOutOfMemory);
  status = file.readAt(0, head.data(), headSize);
  if (status != ReadStatus::kOk) return fail(doc, status);
  uint32_t pixelOffset = 0;
  status = checkBmpHeader(head.data(), fileSize, pixelOffset);
  if (status != ReadStatus::kOk) return fail(doc, status);
  const size_t dibSize = fileSize - kFileHeaderSize;
  const size_t span = kFileHeaderSize + dibHeadersSpan(loadU32Le(head.data() + 14), dibSize);
  if (span > headSize) {
    if (!allocateZeroed(head, span)) return fail(doc, ReadStatus::kOutOfMemory);
    status = file.readAt(0, head.data(), span);
    if (status != ReadStatus::kOk) return fail(doc, status);
  }

  ImageDocument picture;
  picture.palette = doc.palette;
  DibRows rows;
  status = startDib(pixelOffset, head.data() + kFileHeaderSize, dibSize, picture, rows);
  if (status != ReadStatus::kOk) return fail(doc, status);
  // Straight into the document's rows, bottom-up ones from the last row up.
  const int64_t start = static_cast<int64_t>(kFileHeaderSize + rows.start);
  if (rows.bitFields) {
    std::vector<uint8_t> source;
    if (!allocateZeroed(source, static_cast<size_t>(rows.sourceStride)))
      return fail(doc, ReadStatus::kOutOfMemory);
    for (int64_t stored = 0; stored < rows.height && status == ReadStatus::kOk; ++stored) {
      status = file.readAt(start + stored * rows.sourceStride, source.data(), source.size());
      if (status == ReadStatus::kOk)
        bitFieldRowToBgr(source.data(), rows.bits, picture.width, rows.masks,
                         picture.row(documentRow(rows, stored)));
    }
  } else {
    status = file.readRowsAt(start, picture.row(documentRow(rows, 0)),
                             rows.topDown ? picture.rowStride : -picture.rowStride,
                             static_cast<size_t>(picture.rowStride), rows.height);
  }
  if (status != ReadStatus::kOk) return fail(doc, status);
  installPicture(doc, std::move(picture));
  return ReadStatus::kOk;
}

}  // namespace vz
