#include "converter/formats/png_reader.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "converter/formats/png_filters.h"

namespace vz {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkHeaderSize = 8;  // length and type; the CRC follows the data
constexpr size_t kCrcSize = 4;
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr uint32_t kHeaderLength = 13;
constexpr uint32_t kMaxDimension = 0x7FFFFFFF;

// Deflate makes at most 1032 bytes of one. Image data that could not fill the picture's
// rows even so is not the picture its header claims, and is refused before the picture
// is allocated; the allowance keeps small pictures with cut-short data readable.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kFilteredAllowance = uint64_t{1} << 22;

// Rows are inflated into a block of about this size (at least one row), so that they
// are unfiltered and stored while still in the cache.
constexpr size_t kBlockBytes = size_t{1} << 17;

enum ColourType : uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

uint32_t loadU32Be(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint32_t loadU16Be(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 8 | p[1];
}

bool chunkIs(const uint8_t* type, const char* name) {
  return std::memcmp(type, name, 4) == 0;
}

struct ImageHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  int depth = 0;
  uint8_t colourType = kGrey;
  bool interlaced = false;

  int channels() const {
    switch (colourType) {
      case kRgb:
        return 3;
      case kGreyAlpha:
        return 2;
      case kRgba:
        return 4;
      default:
        return 1;
    }
  }
  // The distance the filters look back: one pixel's bytes, at least one.
  size_t filterDistance() const { return std::max<size_t>(1, channels() * depth / 8); }
  uint64_t rowBytes(uint32_t pixels) const {
    return (static_cast<uint64_t>(pixels) * channels() * depth + 7) / 8;
  }
  bool indexed() const { return colourType == kGrey || colourType == kPalette; }
};

bool allowedDepth(uint8_t colourType, uint8_t depth) {
  switch (colourType) {
    case kGrey:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kPalette:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kRgb:
    case kGreyAlpha:
    case kRgba:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

bool readHeader(const uint8_t* data, uint32_t length, ImageHeader& header) {
  if (length != kHeaderLength) return false;
  header.width = loadU32Be(data);
  header.height = loadU32Be(data + 4);
  header.depth = data[8];
  header.colourType = data[9];
  const uint8_t compression = data[10];
  const uint8_t filterMethod = data[11];
  const uint8_t interlace = data[12];
  header.interlaced = interlace == 1;
  return header.width != 0 && header.width <= kMaxDimension && header.height != 0 &&
         header.height <= kMaxDimension && allowedDepth(data[9], data[8]) && compression == 0 &&
         filterMethod == 0 && interlace <= 1;
}

struct ImageData {
  const uint8_t* bytes;
  size_t size;
};

struct Chunks {
  ImageHeader header;
  bool haveHeader = false;
  const uint8_t* palette = nullptr;  // red, green, blue triples
  size_t paletteEntries = 0;
  const uint8_t* transparency = nullptr;
  size_t transparencyLength = 0;
  std::vector<ImageData> imageData;  // the IDAT chunks' data in file order
  uint64_t imageDataBytes = 0;
};

// Walks the chunks from the signature to IEND or the end of the data, checking each
// CRC. A file that ends inside a chunk ends the walk there; image data in that last
// chunk counts as far as it goes (its CRC cannot be checked).
Status walkChunks(size_t fileSize, const uint8_t* fileData, Chunks& chunks) {
  size_t pos = sizeof kSignature;
  while (fileSize - pos >= kChunkHeaderSize) {
    const uint32_t length = loadU32Be(fileData + pos);
    const uint8_t* type = fileData + pos + 4;
    const uint8_t* data = type + 4;
    if (length > kMaxChunkLength) return StatusCode::kDamaged;
    const size_t left = fileSize - pos - kChunkHeaderSize;
    if (left < static_cast<size_t>(length) + kCrcSize) {
      if (chunks.haveHeader && chunkIs(type, "IDAT")) {
        const size_t available = std::min<size_t>(length, left);
        chunks.imageData.push_back({data, available});
        chunks.imageDataBytes += available;
      }
      break;
    }
    const uLong crc = crc32(crc32(0, Z_NULL, 0), type, length + 4);
    if (crc != loadU32Be(data + length)) return StatusCode::kDamaged;

    if (!chunks.haveHeader) {
      if (!chunkIs(type, "IHDR") || !readHeader(data, length, chunks.header))
        return StatusCode::kDamaged;
      chunks.haveHeader = true;
    } else if (chunkIs(type, "IHDR")) {
      return StatusCode::kDamaged;
    } else if (chunkIs(type, "PLTE")) {
      // Only a palette picture uses it; the others may carry a suggested palette.
      if (chunks.header.colourType == kPalette) {
        if (length % 3 != 0 || length == 0 || length > 3 * 256) return StatusCode::kDamaged;
        chunks.palette = data;
        chunks.paletteEntries = length / 3;
      }
    } else if (chunkIs(type, "tRNS")) {
      chunks.transparency = data;
      chunks.transparencyLength = length;
    } else if (chunkIs(type, "IDAT")) {
      chunks.imageData.push_back({data, length});
      chunks.imageDataBytes += length;
    } else if (chunkIs(type, "IEND")) {
      break;
    } else if ((type[0] & 0x20) == 0) {
      return StatusCode::kUnsupported;  // a critical chunk: the picture needs what it says
    }
    pos += kChunkHeaderSize + length + kCrcSize;
  }
  if (!chunks.haveHeader || chunks.imageData.empty()) return StatusCode::kDamaged;
  if (chunks.header.colourType == kPalette && chunks.palette == nullptr)
    return StatusCode::kDamaged;
  return StatusCode::kOk;
}

// The passes of interlaced pictures: first column and row, and steps.
struct Pass {
  uint32_t xStart, yStart, xStep, yStep;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWholePicture[1] = {{0, 0, 1, 1}};

uint32_t passExtent(uint32_t size, uint32_t start, uint32_t step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

template <typename Visit>
void forEachPass(const ImageHeader& header, Visit visit) {
  const Pass* passes = header.interlaced ? kAdam7 : kWholePicture;
  const size_t count = header.interlaced ? 7 : 1;
  for (size_t p = 0; p < count; ++p) {
    const uint32_t columns = passExtent(header.width, passes[p].xStart, passes[p].xStep);
    const uint32_t rows = passExtent(header.height, passes[p].yStart, passes[p].yStep);
    if (columns > 0 && rows > 0 && !visit(passes[p], columns, rows)) return;
  }
}

// The inflated size of the picture: each row with its filter byte, pass by pass. Only
// called for pictures within the document limit, whose sizes are far from overflowing.
uint64_t filteredBytes(const ImageHeader& header) {
  uint64_t total = 0;
  forEachPass(header, [&](const Pass&, uint32_t columns, uint32_t rows) {
    total += rows * (1 + header.rowBytes(columns));
    return true;
  });
  return total;
}

ColourMode documentColourMode(const ImageHeader& header) {
  if (!header.indexed()) return ColourMode::kTrueColour;
  return static_cast<ColourMode>(header.depth >= 8 ? 256 : 1 << header.depth);
}

// (v x 255 + 32767) / 65535: a 16-bit sample brought to 8 bits.
uint32_t reduceSample(uint32_t value) {
  return (value * 255 + 32767) / 65535;
}

// A colour channel c of alpha a put over white, m being the largest sample.
uint32_t overWhite(uint32_t channel, uint32_t alpha, uint32_t maximum) {
  return static_cast<uint32_t>((static_cast<uint64_t>(channel) * alpha +
                                static_cast<uint64_t>(maximum) * (maximum - alpha) + maximum / 2) /
                               maximum);
}

uint32_t sampleAt(const uint8_t* row, size_t index, int depth) {
  switch (depth) {
    case 16:
      return loadU16Be(row + 2 * index);
    case 8:
      return row[index];
    default: {
      const size_t bit = index * static_cast<size_t>(depth);
      return (row[bit / 8] >> (8 - depth - static_cast<int>(bit % 8))) & ((1u << depth) - 1);
    }
  }
}

void fillPalette(const Chunks& chunks, ColourMode colourMode, ImageDocument& picture) {
  const ImageHeader& header = chunks.header;
  if (header.colourType == kGrey) {
    const uint32_t top = header.depth >= 8 ? 255 : (1u << header.depth) - 1;
    for (uint32_t i = 0; i <= top; ++i) {
      const uint8_t level = static_cast<uint8_t>(i * 255 / top);
      picture.palette[i] = makeColour(level, level, level);
    }
    return;
  }
  std::fill(picture.palette.begin(), picture.palette.begin() + paletteEntries(colourMode), 0);
  const size_t entries = std::min<size_t>(chunks.paletteEntries, static_cast<size_t>(colourMode));
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* entry = chunks.palette + 3 * i;
    const uint32_t alpha = i < chunks.transparencyLength ? chunks.transparency[i] : 255;
    picture.palette[i] = makeColour(static_cast<uint8_t>(overWhite(entry[0], alpha, 255)),
                                    static_cast<uint8_t>(overWhite(entry[1], alpha, 255)),
                                    static_cast<uint8_t>(overWhite(entry[2], alpha, 255)));
  }
}

// Turns unfiltered rows into document pixels.
class PixelWriter {
 public:
  PixelWriter(const Chunks& chunks, ColourMode colourMode)
      : header_(chunks.header), targetBits_(bitsPerPixel(colourMode)) {
    const uint8_t* key = chunks.transparency;
    if (header_.colourType == kGrey && chunks.transparencyLength >= 2) {
      hasKey_ = true;
      key_[0] = loadU16Be(key);
    } else if (header_.colourType == kRgb && chunks.transparencyLength >= 6) {
      hasKey_ = true;
      for (int i = 0; i < 3; ++i) key_[i] = loadU16Be(key + 2 * i);
    }
  }

  // Stores count pixels of an unfiltered row into a document row, at x = first,
  // first + step, ...
  void put(const uint8_t* source, uint32_t count, uint8_t* target, uint32_t first,
           uint32_t step) const {
    if (header_.indexed())
      putIndices(source, count, target, first, step);
    else if (header_.colourType == kRgb && header_.depth == 8 && !hasKey_)
      putRgb(source, count, target + 3 * static_cast<size_t>(first), 3 * static_cast<size_t>(step));
    else
      putTrueColour(source, count, target, first, step);
  }

 private:
  void putIndices(const uint8_t* source, uint32_t count, uint8_t* target, uint32_t first,
                  uint32_t step) const {
    const int depth = header_.depth;
    if (step == 1 && !hasKey_ && depth == targetBits_) {
      const size_t bytes = static_cast<size_t>(header_.rowBytes(count));
      std::memcpy(target, source, bytes);
      // The bits past the last pixel stay clear, as in every other row padding.
      const unsigned usedBits = static_cast<unsigned>(count * static_cast<uint64_t>(depth) % 8);
      if (usedBits != 0) target[bytes - 1] &= static_cast<uint8_t>(0xFF00 >> usedBits);
      return;
    }
    const uint8_t white = static_cast<uint8_t>(depth >= 8 ? 255 : (1u << depth) - 1);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t sample = sampleAt(source, i, depth);
      uint8_t index = 0;
      if (hasKey_ && sample == key_[0])
        index = white;
      else
        index = static_cast<uint8_t>(depth == 16 ? reduceSample(sample) : sample);
      setPackedPixel(target, static_cast<int32_t>(first + i * step), targetBits_, index);
    }
  }

  static void putRgb(const uint8_t* source, uint32_t count, uint8_t* target, size_t stepBytes) {
    for (uint32_t i = 0; i < count; ++i, source += 3, target += stepBytes) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }

  void putTrueColour(const uint8_t* source, uint32_t count, uint8_t* target, uint32_t first,
                     uint32_t step) const {
    const int depth = header_.depth;
    const uint32_t maximum = depth == 16 ? 65535 : 255;
    const size_t channels = static_cast<size_t>(header_.channels());
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = i * channels;
      uint32_t red = sampleAt(source, at, depth);
      uint32_t green = red;
      uint32_t blue = red;
      uint32_t alpha = maximum;
      if (header_.colourType == kGreyAlpha) {
        alpha = sampleAt(source, at + 1, depth);
      } else {
        green = sampleAt(source, at + 1, depth);
        blue = sampleAt(source, at + 2, depth);
        if (header_.colourType == kRgba) alpha = sampleAt(source, at + 3, depth);
      }
      if (hasKey_ && red == key_[0] && green == key_[1] && blue == key_[2]) {
        red = green = blue = maximum;
      } else if (alpha != maximum) {
        red = overWhite(red, alpha, maximum);
        green = overWhite(green, alpha, maximum);
        blue = overWhite(blue, alpha, maximum);
      }
      if (depth == 16) {
        red = reduceSample(red);
        green = reduceSample(green);
        blue = reduceSample(blue);
      }
      uint8_t* pixel = target + 3 * (first + static_cast<size_t>(i) * step);
      pixel[0] = static_cast<uint8_t>(blue);
      pixel[1] = static_cast<uint8_t>(green);
      pixel[2] = static_cast<uint8_t>(red);
    }
  }

  const ImageHeader& header_;
  const int targetBits_;
  bool hasKey_ = false;
  uint32_t key_[3] = {0, 0, 0};  // grey, or red, green, blue, as stored
};

// The zlib stream spread over the IDAT chunks.
class ImageDataStream {
 public:
  explicit ImageDataStream(const std::vector<ImageData>& pieces) : pieces_(pieces) {}
  ~ImageDataStream() {
    if (started_) inflateEnd(&stream_);
  }
  ImageDataStream(const ImageDataStream&) = delete;
  ImageDataStream& operator=(const ImageDataStream&) = delete;

  bool start() {
    started_ = inflateInit(&stream_) == Z_OK;
    return started_;
  }

  // Inflates up to wanted bytes into target: fewer only when the stream ends, the data
  // runs out or goes bad, and then nothing more is ever produced.
  size_t read(uint8_t* target, size_t wanted) {
    size_t produced = 0;
    while (produced < wanted && !finished_) {
      if (stream_.avail_in == 0) {
        if (next_ == pieces_.size()) {
          finished_ = true;
          break;
        }
        stream_.next_in = pieces_[next_].bytes;
        stream_.avail_in = static_cast<uInt>(pieces_[next_].size);
        ++next_;
        continue;
      }
      const uInt room = static_cast<uInt>(std::min<size_t>(wanted - produced, kMaxChunkLength));
      stream_.next_out = target + produced;
      stream_.avail_out = room;
      const int result = inflate(&stream_, Z_NO_FLUSH);
      produced += room - stream_.avail_out;
      if (result != Z_OK) finished_ = true;  // the end, bad data, or no memory
    }
    return produced;
  }

 private:
  const std::vector<ImageData>& pieces_;
  z_stream stream_{};
  size_t next_ = 0;
  bool started_ = false;
  bool finished_ = false;
};

// Inflates and unfilters the rows pass by pass and stores them. kPartial when the data
// ends before the last row or a row names an unknown filter; rowsDecoded counts the
// rows stored.
Status decodeRows(const ImageHeader& header, ImageDataStream& stream, const PixelWriter& writer,
                  ImageDocument& picture, uint64_t& rowsDecoded) {
  const size_t longestRow = static_cast<size_t>(header.rowBytes(header.width));
  std::vector<uint8_t> block;
  std::vector<uint8_t> above;  // the row above the block's first row
  if (!allocateZeroed(block, std::max(kBlockBytes, longestRow + 1)) ||
      !allocateZeroed(above, longestRow))
    return StatusCode::kOutOfMemory;
  const size_t distance = header.filterDistance();
  Status status = StatusCode::kOk;
  forEachPass(header, [&](const Pass& pass, uint32_t columns, uint32_t rows) {
    const size_t rowLength = static_cast<size_t>(header.rowBytes(columns));
    const size_t stored = rowLength + 1;  // the filter type comes first
    const size_t rowsPerBlock = block.size() / stored;
    std::fill(above.begin(), above.end(), 0);
    const uint8_t* prior = above.data();
    for (uint32_t y = 0; y < rows;) {
      const size_t wanted = std::min<size_t>(rowsPerBlock, rows - y);
      const size_t got = stream.read(block.data(), wanted * stored) / stored;
      for (size_t r = 0; r < got; ++r) {
        uint8_t* row = block.data() + r * stored;
        if (!unfilterRow(row[0], distance, row + 1, prior, rowLength)) {
          status = StatusCode::kPartial;
          return false;
        }
        const uint32_t documentRow = pass.yStart + (y + static_cast<uint32_t>(r)) * pass.yStep;
        writer.put(row + 1, columns, picture.row(static_cast<int32_t>(documentRow)), pass.xStart,
                   pass.xStep);
        prior = row + 1;
        ++rowsDecoded;
      }
      if (got < wanted) {
        status = StatusCode::kPartial;
        return false;
      }
      std::memcpy(above.data(), prior, rowLength);
      prior = above.data();
      y += static_cast<uint32_t>(wanted);
    }
    return true;
  });
  return status;
}

}  // namespace

Status readPng(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  if (fileSize < sizeof kSignature || std::memcmp(fileData, kSignature, sizeof kSignature) != 0)
    return failReading(doc, StatusCode::kNotThisFormat);
  Chunks chunks;
  Status status = walkChunks(fileSize, fileData, chunks);
  if (status != StatusCode::kOk) return failReading(doc, status);
  const ImageHeader& header = chunks.header;

  const ColourMode colourMode = documentColourMode(header);
  const int64_t stride = rowStrideFor(colourMode, header.width);
  if (stride < 0 || header.height > kMaxPictureBytes / stride)
    return failReading(doc, StatusCode::kTooLarge);
  if (filteredBytes(header) > kMaxInflateRatio * chunks.imageDataBytes + kFilteredAllowance)
    return failReading(doc, StatusCode::kDamaged);

  ImageDocument picture;
  picture.palette = doc.palette;
  status = allocatePictureForReading(picture, header.width, header.height, colourMode,
                                     options.maxPixels);
  if (status != StatusCode::kOk) return failReading(doc, status);
  if (header.indexed()) fillPalette(chunks, colourMode, picture);

  ImageDataStream stream(chunks.imageData);
  if (!stream.start()) return failReading(doc, StatusCode::kOutOfMemory);
  const PixelWriter writer(chunks, colourMode);
  uint64_t rowsDecoded = 0;
  status = decodeRows(header, stream, writer, picture, rowsDecoded);
  if (status == StatusCode::kOutOfMemory) return failReading(doc, status);
  if (rowsDecoded == 0) return failReading(doc, StatusCode::kDamaged);
  installPicture(doc, std::move(picture));
  return status;
}

}  // namespace vz
