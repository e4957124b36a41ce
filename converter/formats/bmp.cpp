#include "converter/formats/bmp.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "converter/formats/bit_fields.h"

namespace vz {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kMinInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;

uint32_t u16At(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t u32At(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
int32_t i32At(const uint8_t* p) {
  return static_cast<int32_t>(u32At(p));
}

int32_t failDib(ImageDocument& doc) {
  releasePicture(doc);
  return 0;
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

int32_t readBmp(size_t fileSize, const uint8_t* fileData, ImageDocument& doc) {
  if (fileSize < kFileHeaderSize + kMinInfoHeaderSize || fileData[0] != 'B' || fileData[1] != 'M')
    return -1;
  const uint8_t* info = fileData + kFileHeaderSize;
  if (u16At(info + 12) != 1 || u32At(info + 16) != kUncompressed) return -1;
  // The pixel offset is measured from the information header; one pointing into the
  // headers is refused rather than read as pixels.
  const uint32_t fileOffset = u32At(fileData + 10);
  const uint32_t headerSize = u32At(info);
  if (fileOffset < kFileHeaderSize + static_cast<uint64_t>(headerSize)) return failDib(doc);
  return readDib(fileOffset - static_cast<uint32_t>(kFileHeaderSize), info,
                 fileSize - kFileHeaderSize, doc);
}

int32_t readDib(uint32_t pixelOffset, const uint8_t* dib, size_t dibSize, ImageDocument& doc) {
  if (dibSize < kMinInfoHeaderSize) return failDib(doc);
  const uint32_t headerSize = u32At(dib);
  if (headerSize < kMinInfoHeaderSize || headerSize > dibSize) return failDib(doc);
  const int32_t width = i32At(dib + 4);
  const int32_t storedHeight = i32At(dib + 8);
  const uint32_t bits = u16At(dib + 14);
  const uint32_t compression = u32At(dib + 16);
  const uint32_t coloursUsed = u32At(dib + 32);
  if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN) return failDib(doc);
  const bool topDown = storedHeight < 0;
  const int64_t height = topDown ? -static_cast<int64_t>(storedHeight) : storedHeight;

  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  const bool bitFieldDepth = bits == 16 || bits == 32;
  if (!indexed && bits != 24 && !bitFieldDepth) return failDib(doc);
  if (compression != kUncompressed && !(bitFieldDepth && compression == kBitFields))
    return failDib(doc);

  const int32_t colourMode = colourModeOfBitmapDepth(bits);
  const int64_t sourceStride = (static_cast<int64_t>(width) * bits + 31) / 32 * 4;
  if (sourceStride * height > kMaxPictureBytes) return failDib(doc);

  // Masks of a bit-field DIB follow a 40-byte header, or are part of a longer one.
  size_t tableStart = headerSize;
  ChannelMasks masks = plainChannelMasks(static_cast<int>(bits));
  if (compression == kBitFields) {
    if (dibSize < kMinInfoHeaderSize + 12) return failDib(doc);
    masks = {u32At(dib + 40), u32At(dib + 44), u32At(dib + 48)};
    if (headerSize == kMinInfoHeaderSize) tableStart += 12;
  }

  size_t tableEntries = coloursUsed;
  if (indexed && tableEntries == 0) tableEntries = static_cast<size_t>(colourMode);
  tableEntries = std::min<size_t>(tableEntries, 256);
  if (indexed && tableStart + 4 * tableEntries > dibSize) return failDib(doc);

  const uint64_t rowsStart = pixelOffset != 0 ? pixelOffset : tableStart + 4 * tableEntries;
  if (rowsStart + static_cast<uint64_t>(sourceStride) * static_cast<uint64_t>(height) > dibSize)
    return failDib(doc);

  ImageDocument picture;
  picture.palette = doc.palette;
  const int32_t size = allocatePicture(picture, width, height, colourMode);
  if (size <= 0) return failDib(doc);
  if (indexed) {
    std::fill(picture.palette.begin(), picture.palette.begin() + colourMode, 0);
    for (size_t i = 0; i < tableEntries; ++i) {
      const uint8_t* entry = dib + tableStart + 4 * i;
      picture.palette[i] = makeColour(entry[2], entry[1], entry[0]);
    }
  }
  for (int64_t y = 0; y < height; ++y) {
    const int64_t storedRow = topDown ? y : height - 1 - y;
    const uint8_t* source = dib + rowsStart + static_cast<uint64_t>(storedRow) * sourceStride;
    uint8_t* target = picture.row(static_cast<int32_t>(y));
    if (bitFieldDepth)
      bitFieldRowToBgr(source, static_cast<int>(bits), width, masks, target);
    else
      std::memcpy(target, source, static_cast<size_t>(picture.rowStride));
  }

  installPicture(doc, std::move(picture));
  return size;
}

}  // namespace vz
