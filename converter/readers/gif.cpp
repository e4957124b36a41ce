#include "converter/readers/gif.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vz {

namespace {

constexpr size_t kScreenDescriptorEnd = 13;
constexpr size_t kImageDescriptorSize = 10;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kHasColourTable = 0x80;
constexpr uint8_t kInterlacedRows = 0x40;
constexpr int kMinCodeSizeLow = 2;
constexpr int kMinCodeSizeHigh = 9;
constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// One 12-bit code yields at most 4 096 pixels, so the code data bounds the picture a
// file can really fill. A header claiming more than that is refused before anything
// is allocated; the allowance keeps small pictures with cut-short data readable.
constexpr uint64_t kMaxPixelsPerDataByte = kTableSize;
constexpr uint64_t kPixelAllowance = uint64_t{1} << 20;

constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

uint32_t u16At(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}

uint64_t u64At(const uint8_t* p) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// Reads a colour table of 2^bits triples into the palette; false when the file ends
// inside it.
bool readColourTable(const uint8_t* fileData, size_t fileSize, size_t& pos, int bits,
                     ImageDocument& picture) {
  const size_t entries = size_t{1} << bits;
  if (fileSize - pos < 3 * entries) return false;
  const uint8_t* triple = fileData + pos;
  for (size_t i = 0; i < entries; ++i, triple += 3)
    picture.palette[i] = makeColour(triple[0], triple[1], triple[2]);
  pos += 3 * entries;
  return true;
}

// Walks data sub-blocks from pos up to the zero-length one (or the end of the file);
// appends their bytes to out when it is given.
size_t walkSubBlocks(const uint8_t* fileData, size_t fileSize, size_t pos,
                     std::vector<uint8_t>* out) {
  while (pos < fileSize) {
    const size_t length = fileData[pos++];
    if (length == 0) break;
    const size_t available = std::min(length, fileSize - pos);
    if (out) out->insert(out->end(), fileData + pos, fileData + pos + available);
    pos += available;
  }
  return pos;
}

// Receives decoded pixels in stream order, puts each row in its place (interlaced or
// not) and packs it for the colour mode. Pixels after the last row are dropped.
class RowSink {
 public:
  RowSink(ImageDocument& picture, int bitsPerPixel, bool interlaced)
      : picture_(picture),
        bitsPerPixel_(bitsPerPixel),
        interlaced_(interlaced),
        width_(static_cast<size_t>(picture.width)) {
    if (bitsPerPixel_ != 8) unpacked_.assign(width_, 0);
    startRow();
  }

  bool done() const { return rowsDone_ == picture_.height; }

  // Room left in the current row, and where its next pixel goes.
  size_t room() const { return width_ - x_; }
  uint8_t* next() { return row_ + x_; }

  // After count pixels were written at next(); false once the picture is complete.
  bool advance(size_t count) {
    x_ += count;
    if (x_ < width_) return true;
    finishRow();
    return !done();
  }

  // Writes pixels that may run over several rows.
  bool put(const uint8_t* pixels, size_t count) {
    while (count > 0) {
      const size_t take = std::min(count, room());
      std::memcpy(next(), pixels, take);
      pixels += take;
      count -= take;
      if (!advance(take)) return false;
    }
    return true;
  }

  // A stream that ends inside a row leaves the rest of that row 0.
  void flushPartialRow() {
    if (done() || x_ == 0) return;
    std::fill(row_ + x_, row_ + width_, 0);
    pack();
  }

 private:
  void startRow() {
    x_ = 0;
    row_ = bitsPerPixel_ == 8 ? picture_.row(y_) : unpacked_.data();
  }

  void pack() {
    if (bitsPerPixel_ == 8) return;
    uint8_t* target = picture_.row(y_);
    const int perByte = 8 / bitsPerPixel_;
    for (size_t x = 0; x < width_; x += perByte) {
      const size_t end = std::min(width_, x + perByte);
      uint8_t byte = 0;
      int shift = 8 - bitsPerPixel_;
      for (size_t i = x; i < end; ++i, shift -= bitsPerPixel_)
        byte |= static_cast<uint8_t>(row_[i] << shift);
      target[x / perByte] = byte;
    }
  }

  void finishRow() {
    pack();
    ++rowsDone_;
    if (done()) return;
    if (!interlaced_) {
      ++y_;
    } else {
      y_ += kPassStep[pass_];
      while (y_ >= picture_.height && pass_ < 3) y_ = kPassStart[++pass_];
    }
    startRow();
  }

  ImageDocument& picture_;
  const int bitsPerPixel_;
  const bool interlaced_;
  const size_t width_;
  std::vector<uint8_t> unpacked_;  // one byte a pixel, for the packed modes
  uint8_t* row_ = nullptr;
  size_t x_ = 0;
  int32_t y_ = 0;
  int pass_ = 0;
  int32_t rowsDone_ = 0;
};

// Codes least significant bit first from the concatenated sub-block data.
class CodeReader {
 public:
  CodeReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // False at the end of the data.
  bool read(int bits, int& code) {
    if (held_ < bits) {
      refill();
      if (held_ < bits) return false;
    }
    code = static_cast<int>(buffer_ & ((uint64_t{1} << bits) - 1));
    buffer_ >>= bits;
    held_ -= bits;
    return true;
  }

 private:
  void refill() {
    if (size_ - pos_ >= 8) {
      buffer_ |= u64At(data_ + pos_) << held_;
      const int bytes = (63 - held_) / 8;
      pos_ += static_cast<size_t>(bytes);
      held_ += 8 * bytes;
      return;
    }
    while (held_ <= 56 && pos_ < size_) {
      buffer_ |= static_cast<uint64_t>(data_[pos_++]) << held_;
      held_ += 8;
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint64_t buffer_ = 0;
  int held_ = 0;
};

// The GIF flavour of LZW. Strings are unwound by the table: codes below the clear
// code are single pixels, every other code a prefix code plus one pixel. Decoding
// stops at the end code, the end of the data, a code that names no string, or when
// the picture is full; whatever was not reached stays 0.
void decodeLzw(CodeReader& codes, int minCodeSize, uint8_t pixelMask, RowSink& sink) {
  struct Entry {
    uint16_t prefix;
    uint16_t length;
    uint8_t pixel;  // the string's last pixel
    uint8_t first;  // the string's first pixel
  };
  std::vector<Entry> table(kTableSize);
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  for (int code = 0; code < clearCode; ++code) {
    const uint8_t pixel = static_cast<uint8_t>(code) & pixelMask;
    table[static_cast<size_t>(code)] = {0, 1, pixel, pixel};
  }
  uint8_t spill[kTableSize];  // a string that runs over the end of a row

  // A stream that does not start with a clear code starts as if it did.
  int codeSize = minCodeSize + 1;
  int nextFree = endCode + 1;
  int previous = -1;
  int code = 0;
  while (codes.read(codeSize, code)) {
    if (code == clearCode) {
      codeSize = minCodeSize + 1;
      nextFree = endCode + 1;
      previous = -1;
      continue;
    }
    if (code == endCode) break;
    if (previous < 0) {
      if (code > endCode) break;
    } else {
      if (code > nextFree) break;
      if (nextFree < kTableSize) {
        const Entry& before = table[static_cast<size_t>(previous)];
        // For the code that is being defined right now, its first pixel is its
        // prefix's first pixel.
        const uint8_t firstOfString =
            code < nextFree ? table[static_cast<size_t>(code)].first : before.first;
        table[static_cast<size_t>(nextFree)] = {static_cast<uint16_t>(previous),
                                                static_cast<uint16_t>(before.length + 1),
                                                firstOfString, before.first};
        ++nextFree;
        if (nextFree == (1 << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
      }
    }
    previous = code;

    // Written back to front, straight into the row when the string fits there.
    const size_t length = table[static_cast<size_t>(code)].length;
    const bool fitsInRow = length <= sink.room();
    uint8_t* out = fitsInRow ? sink.next() + length : spill + length;
    size_t walk = static_cast<size_t>(code);
    for (size_t left = length; left > 0; --left) {
      const Entry& entry = table[walk];
      *--out = entry.pixel;
      walk = entry.prefix;
    }
    if (!(fitsInRow ? sink.advance(length) : sink.put(spill, length))) return;
  }
  sink.flushPartialRow();
}

void greyRamp(int bits, ImageDocument& picture) {
  const int entries = 1 << bits;
  for (int i = 0; i < entries; ++i) {
    const uint8_t level = static_cast<uint8_t>(i * 255 / (entries - 1));
    picture.palette[static_cast<size_t>(i)] = makeColour(level, level, level);
  }
}

int bitsPerPixelFor(int tableBits) {
  if (tableBits == 1) return 1;
  return tableBits <= 4 ? 4 : 8;
}

int32_t fail(ImageDocument& doc, int32_t result) {
  releasePicture(doc);
  return result;
}

}  // namespace

int32_t readGif(size_t fileSize, const uint8_t* fileData, ImageDocument& doc) {
  if (fileSize < kScreenDescriptorEnd) return fail(doc, 0);
  ImageDocument picture;
  picture.palette = doc.palette;
  const uint8_t screenFlags = fileData[10];
  int tableBits = (screenFlags & 7) + 1;
  bool hasTable = (screenFlags & kHasColourTable) != 0;
  size_t pos = kScreenDescriptorEnd;
  if (hasTable && !readColourTable(fileData, fileSize, pos, tableBits, picture))
    return fail(doc, 0);

  // The first image; extensions are skipped, and so is any stray byte.
  for (;;) {
    if (pos >= fileSize || fileData[pos] == kTrailer) return fail(doc, 0);
    if (fileData[pos] == kImageSeparator) break;
    if (fileData[pos] == kExtensionIntroducer)
      pos = walkSubBlocks(fileData, fileSize, std::min(pos + 2, fileSize), nullptr);
    else
      ++pos;
  }
  if (fileSize - pos < kImageDescriptorSize) return fail(doc, 0);
  const uint32_t width = u16At(fileData + pos + 5);
  const uint32_t height = u16At(fileData + pos + 7);
  const uint8_t imageFlags = fileData[pos + 9];
  pos += kImageDescriptorSize;
  if (imageFlags & kHasColourTable) {
    tableBits = (imageFlags & 7) + 1;
    hasTable = true;
    if (!readColourTable(fileData, fileSize, pos, tableBits, picture)) return fail(doc, 0);
  }
  if (pos >= fileSize) return fail(doc, 0);
  const int minCodeSize = fileData[pos++];
  if (minCodeSize < kMinCodeSizeLow || minCodeSize > kMinCodeSizeHigh) return fail(doc, -1);
  if (width == 0 || height == 0) return fail(doc, 0);

  std::vector<uint8_t> codeData;
  codeData.reserve(fileSize - pos);
  walkSubBlocks(fileData, fileSize, pos, &codeData);
  if (static_cast<uint64_t>(width) * height >
      kMaxPixelsPerDataByte * codeData.size() + kPixelAllowance)
    return fail(doc, 0);

  const int32_t size = allocatePicture(picture, width, height, 1 << tableBits);
  if (size <= 0) return fail(doc, 0);
  if (!hasTable) greyRamp(tableBits, picture);

  CodeReader codes(codeData.data(), codeData.size());
  RowSink sink(picture, bitsPerPixelFor(tableBits), (imageFlags & kInterlacedRows) != 0);
  decodeLzw(codes, minCodeSize, static_cast<uint8_t>((1 << tableBits) - 1), sink);

  doc.pixels = std::move(picture.pixels);
  doc.width = picture.width;
  doc.height = picture.height;
  doc.rowStride = picture.rowStride;
  doc.colourMode = picture.colourMode;
  doc.palette = picture.palette;
  return size;
}

}  // namespace vz
