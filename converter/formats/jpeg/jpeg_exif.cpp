#include "converter/formats/jpeg/jpeg_exif.h"

#include <cstring>

namespace vz {

namespace {

constexpr uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint32_t kOrientationTag = 0x0112;
constexpr uint32_t kTypeShort = 3;
constexpr size_t kEntryBytes = 12;

// Reads the TIFF block's numbers in its own byte order; every read is in range.
class TiffBlock {
 public:
  TiffBlock(const uint8_t* data, size_t size, bool bigEndian)
      : data_(data), size_(size), bigEndian_(bigEndian) {}

  bool has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }
  uint32_t u16(size_t offset) const {
    const uint32_t a = data_[offset];
    const uint32_t b = data_[offset + 1];
    return bigEndian_ ? a << 8 | b : b << 8 | a;
  }
  uint32_t u32(size_t offset) const {
    const uint32_t high = u16(offset + (bigEndian_ ? 0 : 2));
    const uint32_t low = u16(offset + (bigEndian_ ? 2 : 0));
    return high << 16 | low;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool bigEndian_;
};

}  // namespace

int32_t exifOrientation(const uint8_t* block, size_t size) {
  if (size < sizeof kExifSignature + 8 || std::memcmp(block, kExifSignature, 6) != 0) return 0;
  const uint8_t* tiff = block + sizeof kExifSignature;
  const size_t tiffSize = size - sizeof kExifSignature;
  bool bigEndian;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    bigEndian = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    bigEndian = true;
  } else {
    return 0;
  }
  const TiffBlock tiffBlock(tiff, tiffSize, bigEndian);
  if (tiffBlock.u16(2) != 42) return 0;
  const size_t directory = tiffBlock.u32(4);
  if (!tiffBlock.has(directory, 2)) return 0;
  const size_t entries = tiffBlock.u16(directory);
  if (!tiffBlock.has(directory + 2, entries * kEntryBytes)) return 0;
  for (size_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + i * kEntryBytes;
    if (tiffBlock.u16(entry) != kOrientationTag) continue;
    // One SHORT, held in the first two bytes of the value field.
    if (tiffBlock.u16(entry + 2) != kTypeShort || tiffBlock.u32(entry + 4) != 1) return 0;
    const uint32_t orientation = tiffBlock.u16(entry + 8);
    return orientation >= 1 && orientation <= 8 ? static_cast<int32_t>(orientation) : 0;
  }
  return 0;
}

}  // namespace vz
