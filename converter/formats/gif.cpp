#include "converter/formats/gif.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "base/little_endian.h"
#include "converter/formats/growing_picture.h"

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

// Strings of up to 8 pixels are stored as one 8-byte word.
constexpr size_t kRowSlack = 8;

constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

// Spelled out byte by byte so that the compiler merges it into one store.
void putU64(uint8_t* p, uint64_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
  p[4] = static_cast<uint8_t>(value >> 32);
  p[5] = static_cast<uint8_t>(value >> 40);
  p[6] = static_cast<uint8_t>(value >> 48);
  p[7] = static_cast<uint8_t>(value >> 56);
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
// returns the position after them and counts their data bytes.
size_t walkSubBlocks(const uint8_t* fileData, size_t fileSize, size_t pos, size_t& dataBytes) {
  dataBytes = 0;
  while (pos < fileSize) {
    const size_t length = fileData[pos++];
    if (length == 0) break;
    const size_t available = std::min(length, fileSize - pos);
    dataBytes += available;
    pos += available;
  }
  return pos;
}

// Takes decoded rows in stream order and packs each for the colour mode, stream row i in
// picture row i: the picture's room grows with them, and an interlaced picture's rows are
// put in their places at the end (putRowsInPlace). Pixels after the last row are dropped.
class RowSink {
 public:
  RowSink(ImageDocument& picture, int bitsPerPixel)
      : picture_(picture),
        bitsPerPixel_(bitsPerPixel),
        width_(static_cast<size_t>(picture.width)),
        staged_(width_ + kRowSlack, 0) {}

  size_t width() const { return width_; }
  int32_t rowsDone() const { return rowsDone_; }
  bool outOfMemory() const { return outOfMemory_; }

  // Every row has been stored.
  bool complete() const { return rowsDone_ == picture_.height; }

  // Where the current row's pixels go, one byte each; up to kRowSlack bytes past
  // its end may be written and are ignored.
  uint8_t* row() { return staged_.data(); }

  // The current row is full: stores it and starts the next one; false once the
  // picture is complete, or when there is no memory for the next row.
  bool nextRow() {
    pack();
    if (++rowsDone_ == picture_.height) return false;
    outOfMemory_ = !reachRows(picture_, rowsDone_ + 1);
    return !outOfMemory_;
  }

  // A stream that ends inside a row leaves the rest of that row 0; true when the row
  // had pixels.
  bool finishPartialRow(size_t filled) {
    if (filled == 0 || complete() || outOfMemory_) return false;
    std::fill(staged_.begin() + static_cast<std::ptrdiff_t>(filled), staged_.end(), 0);
    pack();
    return true;
  }

 private:
  void pack() {
    const uint8_t* row = staged_.data();
    uint8_t* target = picture_.row(rowsDone_);
    if (bitsPerPixel_ == 8) {
      std::memcpy(target, row, width_);
      return;
    }
    const int perByte = 8 / bitsPerPixel_;
    for (size_t x = 0; x < width_; x += perByte) {
      const size_t end = std::min(width_, x + perByte);
      uint8_t byte = 0;
      int shift = 8 - bitsPerPixel_;
      for (size_t i = x; i < end; ++i, shift -= bitsPerPixel_)
        byte |= static_cast<uint8_t>(row[i] << shift);
      target[x / perByte] = byte;
    }
  }

  ImageDocument& picture_;
  const int bitsPerPixel_;
  const size_t width_;
  std::vector<uint8_t> staged_;  // the current row, one byte a pixel
  int32_t rowsDone_ = 0;
  bool outOfMemory_ = false;
};

// The picture row of an interlaced picture's stream row i: the rows of pass 1 (every
// eighth from 0), then pass 2 (every eighth from 4), pass 3 (every fourth from 2) and
// pass 4 (every second from 1).
int32_t interlacedRow(int32_t i, int32_t height) {
  for (int pass = 0; pass < 4; ++pass) {
    const int32_t rows = height > kPassStart[pass]
                             ? (height - kPassStart[pass] + kPassStep[pass] - 1) / kPassStep[pass]
                             : 0;
    if (i < rows) return kPassStart[pass] + i * kPassStep[pass];
    i -= rows;
  }
  return i;
}

// Moves an interlaced picture's rows from stream order to their places, one cycle of the
// permutation at a time, with two spare rows; false when memory for them cannot be had.
bool putRowsInPlace(ImageDocument& picture) {
  const size_t stride = static_cast<size_t>(picture.rowStride);
  std::vector<uint8_t> carried, displaced, placed;
  if (!allocateZeroed(carried, stride) || !allocateZeroed(displaced, stride) ||
      !allocateZeroed(placed, static_cast<size_t>(picture.height)))
    return false;
  for (int32_t start = 0; start < picture.height; ++start) {
    if (placed[static_cast<size_t>(start)]) continue;
    std::memcpy(carried.data(), picture.row(start), stride);
    int32_t at = start;
    do {
      at = interlacedRow(at, picture.height);
      std::memcpy(displaced.data(), picture.row(at), stride);
      std::memcpy(picture.row(at), carried.data(), stride);
      carried.swap(displaced);
      placed[static_cast<size_t>(at)] = 1;
    } while (at != start);
  }
  return true;
}

// Where LZW decoding stopped.
enum class LzwEnd { kPictureFull, kEndCode, kDataEnds, kBadCode, kOutOfMemory };

// The GIF flavour of LZW over the data sub-blocks that start at pos, codes least
// significant bit first, read across the blocks' length bytes. Strings are unwound by the table:
// codes below the clear code are single pixels, every other code a prefix code plus one pixel.
// Decoding stops at the end code, the end of the data, a code that names no string, or when the
// picture is full; whatever was not reached stays 0. The hot state lives in locals:
// pixel stores through byte pointers would otherwise force it back to memory.
LzwEnd decodeLzw(const uint8_t* data, size_t size, size_t pos, int minCodeSize, uint8_t pixelMask,
                 RowSink& sink) {
  struct Entry {
    uint64_t tail;  // the string's last 8 pixels (all of a shorter one), first in the low byte
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
    table[static_cast<size_t>(code)] = {pixel, 0, 1, pixel, pixel};
  }
  uint8_t spill[kTableSize];  // a string that runs over the end of a row

  uint64_t bits = 0;
  int held = 0;
  size_t blockEnd = pos;  // the next length byte
  uint8_t* cursor = sink.row();
  uint8_t* rowEnd = cursor + sink.width();

  // A stream that does not start with a clear code starts as if it did.
  int codeSize = minCodeSize + 1;
  int nextFree = endCode + 1;
  int previous = -1;
  LzwEnd end = LzwEnd::kDataEnds;
  const auto full = [&sink] {
    return sink.outOfMemory() ? LzwEnd::kOutOfMemory : LzwEnd::kPictureFull;
  };
  for (;;) {
    if (held < codeSize) {
      if (blockEnd - pos >= 8) {
        bits |= loadU64Le(data + pos) << held;
        const int bytes = (63 - held) / 8;
        pos += static_cast<size_t>(bytes);
        held += 8 * bytes;
      } else {
        while (held <= 56) {
          if (pos == blockEnd) {
            // A zero-length block, or the end of the file, ends the data for good.
            if (pos >= size || data[pos] == 0) {
              size = pos;
              break;
            }
            blockEnd = std::min(pos + 1 + data[pos], size);
            ++pos;
            continue;
          }
          bits |= uint64_t{data[pos++]} << held;
          held += 8;
        }
        if (held < codeSize) break;
      }
    }
    const int code = static_cast<int>(bits & ((uint64_t{1} << codeSize) - 1));
    bits >>= codeSize;
    held -= codeSize;

    if (code == clearCode) {
      codeSize = minCodeSize + 1;
      nextFree = endCode + 1;
      previous = -1;
      continue;
    }
    if (code == endCode) {
      end = LzwEnd::kEndCode;
      break;
    }
    if (previous < 0 ? code > endCode : code > nextFree) {
      end = LzwEnd::kBadCode;
      break;
    }
    if (previous >= 0) {
      if (nextFree < kTableSize) {
        const Entry& before = table[static_cast<size_t>(previous)];
        // For the code that is being defined right now, its first pixel is its
        // prefix's first pixel.
        const uint8_t firstOfString =
            code < nextFree ? table[static_cast<size_t>(code)].first : before.first;
        const uint16_t length = static_cast<uint16_t>(before.length + 1);
        const uint64_t tail = length <= 8
                                  ? before.tail | uint64_t{firstOfString} << 8 * (length - 1)
                                  : before.tail >> 8 | uint64_t{firstOfString} << 56;
        table[static_cast<size_t>(nextFree)] = {tail, static_cast<uint16_t>(previous), length,
                                                firstOfString, before.first};
        ++nextFree;
        if (nextFree == (1 << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
      }
    }
    previous = code;

    // Short strings in one store; longer ones back to front by their prefixes.
    const Entry& string = table[static_cast<size_t>(code)];
    const size_t length = string.length;
    const bool fitsInRow = length <= static_cast<size_t>(rowEnd - cursor);
    if (fitsInRow && length <= 8) {
      putU64(cursor, string.tail);
      cursor += length;
      if (cursor < rowEnd) continue;
      if (!sink.nextRow()) return full();
      cursor = sink.row();
      rowEnd = cursor + sink.width();
      continue;
    }
    uint8_t* out = fitsInRow ? cursor + length : spill + length;
    size_t walk = static_cast<size_t>(code);
    for (size_t left = length; left > 0; --left) {
      const Entry& entry = table[walk];
      *--out = entry.pixel;
      walk = entry.prefix;
    }
    if (fitsInRow) {
      cursor += length;
      if (cursor < rowEnd) continue;
      if (!sink.nextRow()) return full();
      cursor = sink.row();
      rowEnd = cursor + sink.width();
      continue;
    }
    for (const uint8_t* piece = spill; piece < spill + length;) {
      const size_t take = std::min(static_cast<size_t>(spill + length - piece),
                                   static_cast<size_t>(rowEnd - cursor));
      std::memcpy(cursor, piece, take);
      piece += take;
      cursor += take;
      if (cursor < rowEnd) break;
      if (!sink.nextRow()) return full();
      cursor = sink.row();
      rowEnd = cursor + sink.width();
    }
  }
  sink.finishPartialRow(static_cast<size_t>(cursor - sink.row()));
  return end;
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

// Moves pos, after the screen descriptor and colour table, to the first image's separator:
// extensions are skipped, and so is any stray byte. False when the data ends first.
bool findFirstImage(const uint8_t* fileData, size_t fileSize, size_t& pos) {
  size_t extensionBytes = 0;
  for (;;) {
    if (pos >= fileSize || fileData[pos] == kTrailer) return false;
    if (fileData[pos] == kImageSeparator) return true;
    if (fileData[pos] == kExtensionIntroducer)
      pos = walkSubBlocks(fileData, fileSize, std::min(pos + 2, fileSize), extensionBytes);
    else
      ++pos;
  }
}

}  // namespace

bool claimGif(size_t size, const uint8_t* head, uint64_t, PictureClaim& claim) {
  if (size < kScreenDescriptorEnd || std::memcmp(head, "GIF", 3) != 0) return false;
  size_t pos = kScreenDescriptorEnd;
  if (head[10] & kHasColourTable) pos += size_t{3} << ((head[10] & 7) + 1);
  if (!findFirstImage(head, size, pos) || size - pos < kImageDescriptorSize) return false;
  claim = {loadU16Le(head + pos + 5), loadU16Le(head + pos + 7)};
  return true;
}

Status readGif(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  if (fileSize < 3 || std::memcmp(fileData, "GIF", 3) != 0)
    return failReading(doc, Status(StatusCode::kNotThisFormat, "not a GIF file"));
  if (fileSize < kScreenDescriptorEnd)
    return failReading(doc, Status(StatusCode::kDamaged, "data ends in the GIF header"));
  const Status tableCutShort(StatusCode::kDamaged, "data ends in the colour table");
  ImageDocument picture;
  picture.palette = doc.palette;
  const uint8_t screenFlags = fileData[10];
  int tableBits = (screenFlags & 7) + 1;
  bool hasTable = (screenFlags & kHasColourTable) != 0;
  size_t pos = kScreenDescriptorEnd;
  if (hasTable && !readColourTable(fileData, fileSize, pos, tableBits, picture))
    return failReading(doc, tableCutShort);

  if (!findFirstImage(fileData, fileSize, pos))
    return failReading(doc, Status(StatusCode::kDamaged, "GIF has no image"));
  if (fileSize - pos < kImageDescriptorSize)
    return failReading(doc, Status(StatusCode::kDamaged, "data ends in the image descriptor"));
  const uint32_t width = loadU16Le(fileData + pos + 5);
  const uint32_t height = loadU16Le(fileData + pos + 7);
  const uint8_t imageFlags = fileData[pos + 9];
  pos += kImageDescriptorSize;
  if (imageFlags & kHasColourTable) {
    tableBits = (imageFlags & 7) + 1;
    hasTable = true;
    if (!readColourTable(fileData, fileSize, pos, tableBits, picture))
      return failReading(doc, tableCutShort);
  }
  if (pos >= fileSize)
    return failReading(doc, Status(StatusCode::kDamaged, "data ends before the image data"));
  const int minCodeSize = fileData[pos++];
  if (minCodeSize < kMinCodeSizeLow || minCodeSize > kMinCodeSizeHigh)
    return failReading(doc, Status(StatusCode::kDamaged,
                                   "LZW code size " + std::to_string(minCodeSize) + " not valid"));
  size_t codeBytes = 0;
  walkSubBlocks(fileData, fileSize, pos, codeBytes);
  // More pixels than kMaxPixelsPerDataByte per code byte plus the allowance, divided so
  // that no data size can overflow it.
  const uint64_t pixels = static_cast<uint64_t>(width) * height;
  if (pixels > kPixelAllowance &&
      (pixels - kPixelAllowance - 1) / kMaxPixelsPerDataByte >= codeBytes)
    return failReading(doc,
                       Status(StatusCode::kDamaged, "image data of " + std::to_string(codeBytes) +
                                                        " bytes cannot fill a picture of " +
                                                        sizeText(width, height)));

  const auto colourMode = static_cast<ColourMode>(1 << tableBits);
  Status status = startGrowingPicture(picture, width, height, colourMode, options.maxPixels,
                                      kFirstRoomPerDataByte * codeBytes);
  if (!status.ok()) return failReading(doc, status);
  if (!hasTable) greyRamp(tableBits, picture);

  RowSink sink(picture, bitsPerPixelFor(tableBits));
  const LzwEnd end = decodeLzw(fileData, fileSize, pos, minCodeSize,
                               static_cast<uint8_t>((1 << tableBits) - 1), sink);
  if (end == LzwEnd::kOutOfMemory) return failReading(doc, StatusCode::kOutOfMemory);
  status = StatusCode::kOk;
  if (!sink.complete()) {
    const char* what = end == LzwEnd::kEndCode   ? "image data ends"
                       : end == LzwEnd::kBadCode ? "corrupt LZW data"
                                                 : "data ends";
    status = endBrokenPicture(picture, sink.rowsDone() + 1,
                              what + atRow(sink.rowsDone(), picture.height));
  } else if (!reachRows(picture, picture.height)) {
    status = StatusCode::kOutOfMemory;
  }
  if (givesPicture(status) && (imageFlags & kInterlacedRows) != 0 && !putRowsInPlace(picture))
    status = StatusCode::kOutOfMemory;
  if (!givesPicture(status)) return failReading(doc, status);
  installPicture(doc, std::move(picture));
  return status;
}

}  // namespace vz
