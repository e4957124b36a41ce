#include "converter/formats/png_reader.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "converter/formats/growing_picture.h"
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

Status badHeader(const std::string& what) {
  return Status(StatusCode::kDamaged, "invalid IHDR: " + what);
}

Status readHeader(const uint8_t* data, uint32_t length, ImageHeader& header) {
  if (length != kHeaderLength) return badHeader("length " + std::to_string(length));
  header.width = loadU32Be(data);
  header.height = loadU32Be(data + 4);
  header.depth = data[8];
  header.colourType = data[9];
  const uint8_t compression = data[10];
  const uint8_t filterMethod = data[11];
  const uint8_t interlace = data[12];
  header.interlaced = interlace == 1;
  if (header.width == 0 || header.width > kMaxDimension || header.height == 0 ||
      header.height > kMaxDimension)
    return badHeader("size " + sizeText(header.width, header.height));
  if (!allowedDepth(data[9], data[8]))
    return badHeader("bit depth " + std::to_string(data[8]) + " with colour type " +
                     std::to_string(data[9]));
  if (compression != 0) return badHeader("compression method " + std::to_string(compression));
  if (filterMethod != 0) return badHeader("filter method " + std::to_string(filterMethod));
  if (interlace > 1) return badHeader("interlace method " + std::to_string(interlace));
  return StatusCode::kOk;
}

// A chunk type as it is spelled, with bytes that are no letters written in hex.
std::string chunkName(const uint8_t* type) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(type[i]);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      name += c;
    } else {
      name += "\\x";
      name += kHex[type[i] >> 4];
      name += kHex[type[i] & 15];
    }
  }
  return name;
}

bool isAncillary(const uint8_t* type) {
  return (type[0] & 0x20) != 0;
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
// CRC: an ancillary chunk whose CRC does not match is skipped, as libpng does, a critical
// one refused. A file that ends inside a chunk ends the walk there; image data in that
// last chunk counts as far as it goes (its CRC cannot be checked).
Status walkChunks(size_t fileSize, const uint8_t* fileData, Chunks& chunks) {
  size_t pos = sizeof kSignature;
  while (fileSize - pos >= kChunkHeaderSize) {
    const uint32_t length = loadU32Be(fileData + pos);
    const uint8_t* type = fileData + pos + 4;
    const uint8_t* data = type + 4;
    if (length > kMaxChunkLength)
      return Status(StatusCode::kDamaged,
                    "chunk " + chunkName(type) + " of length " + std::to_string(length));
    if (!chunks.haveHeader && !chunkIs(type, "IHDR"))
      return Status(StatusCode::kDamaged, "first chunk " + chunkName(type) + ", not IHDR");
    const size_t left = fileSize - pos - kChunkHeaderSize;
    if (left < static_cast<size_t>(length) + kCrcSize) {
      if (chunks.haveHeader && chunkIs(type, "IDAT")) {
        const size_t available = std::min<size_t>(length, left);
        chunks.imageData.push_back({data, available});
        chunks.imageDataBytes += available;
      }
      break;
    }
    pos += kChunkHeaderSize + length + kCrcSize;
    const uLong crc = crc32(crc32(0, Z_NULL, 0), type, length + 4);
    if (crc != loadU32Be(data + length)) {
      if (isAncillary(type)) continue;
      return Status(StatusCode::kDamaged, "CRC mismatch in " + chunkName(type));
    }

    if (!chunks.haveHeader) {
      const Status header = readHeader(data, length, chunks.header);
      if (!header.ok()) return header;
      chunks.haveHeader = true;
    } else if (chunkIs(type, "IHDR")) {
      return Status(StatusCode::kDamaged, "second IHDR");
    } else if (chunkIs(type, "PLTE")) {
      // Only a palette picture uses it; the others may carry a suggested palette.
      if (chunks.header.colourType == kPalette) {
        if (length % 3 != 0 || length == 0 || length > 3 * 256)
          return Status(StatusCode::kDamaged, "PLTE of length " + std::to_string(length));
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
    } else if (!isAncillary(type)) {
      // A critical chunk: the picture needs what it says.
      return Status(StatusCode::kUnsupported, "unknown critical chunk " + chunkName(type));
    }
  }
  if (!chunks.haveHeader) return Status(StatusCode::kDamaged, "data ends before IHDR");
  if (chunks.imageData.empty()) return Status(StatusCode::kDamaged, "no IDAT");
  if (chunks.header.colourType == kPalette && chunks.palette == nullptr)
    return Status(StatusCode::kDamaged, "palette picture without PLTE");
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

// Calls visit(p, columns, rows) for every pass p that has pixels, in order, while it
// answers true.
template <typename Visit>
void forEachPass(const ImageHeader& header, Visit visit) {
  const Pass* passes = header.interlaced ? kAdam7 : kWholePicture;
  const size_t count = header.interlaced ? 7 : 1;
  for (size_t p = 0; p < count; ++p) {
    const uint32_t columns = passExtent(header.width, passes[p].xStart, passes[p].xStep);
    const uint32_t rows = passExtent(header.height, passes[p].yStart, passes[p].yStep);
    if (columns > 0 && rows > 0 && !visit(p, columns, rows)) return;
  }
}

// The inflated size of the picture: each row with its filter byte, pass by pass. Only
// called for pictures within the document limit, whose sizes are far from overflowing.
uint64_t filteredBytes(const ImageHeader& header) {
  uint64_t total = 0;
  forEachPass(header, [&](size_t, uint32_t columns, uint32_t rows) {
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

  // Stores the count pixels of an unfiltered row as the first pixels of a document row.
  void put(const uint8_t* source, uint32_t count, uint8_t* target) const {
    if (header_.indexed())
      putIndices(source, count, target);
    else if (header_.colourType == kRgb && header_.depth == 8 && !hasKey_)
      putRgb(source, count, target);
    else
      putTrueColour(source, count, target);
  }

 private:
  void putIndices(const uint8_t* source, uint32_t count, uint8_t* target) const {
    const int depth = header_.depth;
    if (!hasKey_ && depth == targetBits_) {
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
      setPackedPixel(target, static_cast<int32_t>(i), targetBits_, index);
    }
  }

  static void putRgb(const uint8_t* source, uint32_t count, uint8_t* target) {
    for (uint32_t i = 0; i < count; ++i, source += 3, target += 3) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }

  void putTrueColour(const uint8_t* source, uint32_t count, uint8_t* target) const {
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
      uint8_t* pixel = target + 3 * static_cast<size_t>(i);
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
      result_ = inflate(&stream_, Z_NO_FLUSH);
      produced += room - stream_.avail_out;
      if (result_ != Z_OK) finished_ = true;  // the end, bad data, or no memory
    }
    return produced;
  }

  bool outOfMemory() const { return result_ == Z_MEM_ERROR; }

  // Why the stream gave no more: the data ended, or how it went bad.
  std::string whyItStopped() const {
    if (result_ == Z_OK || result_ == Z_STREAM_END) return "data ends";
    if (result_ == Z_NEED_DICT) return "image data asks for a preset dictionary";
    return std::string("corrupt image data (") + (stream_.msg ? stream_.msg : "zlib error") + ")";
  }

 private:
  const std::vector<ImageData>& pieces_;
  z_stream stream_{};
  size_t next_ = 0;
  bool started_ = false;
  bool finished_ = false;
  int result_ = Z_OK;
};

// How far decoding came, and why it stopped early.
struct DecodeProgress {
  uint64_t pixels = 0;  // pixels stored, in every pass
  bool complete = false;
  bool outOfMemory = false;
  std::string stopped;  // why decoding stopped before the last row
};

// Inflates and unfilters the rows pass by pass and stores pass p's row y (of `columns`
// pixels) in target(p, y), after room(p, y + 1) has made room for it.
template <typename Target, typename Room>
DecodeProgress decodeRows(const ImageHeader& header, ImageDataStream& stream,
                          const PixelWriter& writer, Target target, Room room) {
  DecodeProgress progress;
  const size_t longestRow = static_cast<size_t>(header.rowBytes(header.width));
  std::vector<uint8_t> block;
  std::vector<uint8_t> above;  // the row above the block's first row
  if (!allocateZeroed(block, std::max(kBlockBytes, longestRow + 1)) ||
      !allocateZeroed(above, longestRow)) {
    progress.outOfMemory = true;
    return progress;
  }
  const size_t distance = header.filterDistance();
  bool whole = true;
  forEachPass(header, [&](size_t p, uint32_t columns, uint32_t rows) {
    const size_t rowLength = static_cast<size_t>(header.rowBytes(columns));
    const size_t stored = rowLength + 1;  // the filter type comes first
    const size_t rowsPerBlock = block.size() / stored;
    const auto stop = [&](const std::string& what, uint32_t y) {
      progress.stopped = what;
      if (header.interlaced) progress.stopped += " in pass " + std::to_string(p + 1) + " of 7,";
      progress.stopped += atRow(y, rows);
      whole = false;
      return false;
    };
    std::fill(above.begin(), above.end(), 0);
    const uint8_t* prior = above.data();
    for (uint32_t y = 0; y < rows;) {
      const size_t wanted = std::min<size_t>(rowsPerBlock, rows - y);
      const size_t got = stream.read(block.data(), wanted * stored) / stored;
      if (!room(p, y + got)) {
        progress.outOfMemory = true;
        whole = false;
        return false;
      }
      for (size_t r = 0; r < got; ++r) {
        uint8_t* row = block.data() + r * stored;
        if (!unfilterRow(row[0], distance, row + 1, prior, rowLength))
          return stop("unknown filter type " + std::to_string(row[0]),
                      y + static_cast<uint32_t>(r));
        writer.put(row + 1, columns, target(p, y + static_cast<uint32_t>(r)));
        prior = row + 1;
        progress.pixels += columns;
      }
      if (got < wanted) {
        if (stream.outOfMemory()) {
          progress.outOfMemory = true;
          whole = false;
          return false;
        }
        return stop(stream.whyItStopped(), y + static_cast<uint32_t>(got));
      }
      std::memcpy(above.data(), prior, rowLength);
      prior = above.data();
      y += static_cast<uint32_t>(wanted);
    }
    return true;
  });
  progress.complete = whole;
  return progress;
}

// An interlaced picture's passes, each a small picture of its own that grows with its
// rows, put in their places once decoding is over.
struct Passes {
  ImageDocument pictures[7];

  void setUp(const ImageHeader& header, ColourMode colourMode) {
    for (size_t p = 0; p < 7; ++p) {
      ImageDocument& pass = pictures[p];
      pass.width =
          static_cast<int32_t>(passExtent(header.width, kAdam7[p].xStart, kAdam7[p].xStep));
      pass.height =
          static_cast<int32_t>(passExtent(header.height, kAdam7[p].yStart, kAdam7[p].yStep));
      pass.colourMode = colourMode;
      pass.rowStride = static_cast<int32_t>(rowStrideFor(colourMode, pass.width));
    }
  }

  // Moves every pass's pixels to their places in the picture, letting each pass go.
  void scatter(ImageDocument& picture) {
    const int bits = bitsPerPixel(picture.colourMode);
    for (size_t p = 0; p < 7; ++p) {
      ImageDocument& pass = pictures[p];
      const int64_t rows = std::min<int64_t>(pass.height, rowsWithRoom(pass));
      for (int64_t y = 0; y < rows; ++y) {
        const uint8_t* from = pass.row(static_cast<int32_t>(y));
        uint8_t* to = picture.row(static_cast<int32_t>(kAdam7[p].yStart + y * kAdam7[p].yStep));
        for (int32_t x = 0; x < pass.width; ++x) {
          const int32_t column = static_cast<int32_t>(kAdam7[p].xStart + x * kAdam7[p].xStep);
          if (bits == 24)
            std::memcpy(to + 3 * static_cast<size_t>(column), from + 3 * static_cast<size_t>(x), 3);
          else
            setPackedPixel(to, column, bits, getPackedPixel(from, x, bits));
        }
      }
      pass.pixels = std::vector<uint8_t>();
    }
  }
};

}  // namespace

bool claimPng(size_t size, const uint8_t* head, uint64_t, PictureClaim& claim) {
  constexpr size_t kHeaderFieldsEnd = sizeof kSignature + kChunkHeaderSize + 8;
  if (size < kHeaderFieldsEnd || std::memcmp(head, kSignature, sizeof kSignature) != 0 ||
      !chunkIs(head + sizeof kSignature + 4, "IHDR"))
    return false;
  const uint8_t* fields = head + sizeof kSignature + kChunkHeaderSize;
  claim = {loadU32Be(fields), loadU32Be(fields + 4)};
  return true;
}

Status readPng(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  if (fileSize < sizeof kSignature || std::memcmp(fileData, kSignature, sizeof kSignature) != 0)
    return failReading(doc, Status(StatusCode::kNotThisFormat, "not a PNG file"));
  Chunks chunks;
  Status status = walkChunks(fileSize, fileData, chunks);
  if (status != StatusCode::kOk) return failReading(doc, status);
  const ImageHeader& header = chunks.header;

  const ColourMode colourMode = documentColourMode(header);
  const int64_t stride = rowStrideFor(colourMode, header.width);
  if (stride < 0 || header.height > kMaxPictureBytes / stride)
    return failReading(doc, pictureOverTheLimit(header.width, header.height));
  if (filteredBytes(header) > kMaxInflateRatio * chunks.imageDataBytes + kFilteredAllowance)
    return failReading(
        doc, Status(StatusCode::kDamaged, "image data of " + std::to_string(chunks.imageDataBytes) +
                                              " bytes cannot fill a picture of " +
                                              sizeText(header.width, header.height)));

  // The picture, or for an interlaced one its passes, grows with the rows decoded.
  ImageDocument picture;
  picture.palette = doc.palette;
  Passes passes;
  status =
      startGrowingPicture(picture, header.width, header.height, colourMode, options.maxPixels,
                          header.interlaced ? 0 : kFirstRoomPerDataByte * chunks.imageDataBytes);
  if (!status.ok()) return failReading(doc, status);
  if (header.indexed()) fillPalette(chunks, colourMode, picture);
  if (header.interlaced) passes.setUp(header, colourMode);

  ImageDataStream stream(chunks.imageData);
  if (!stream.start()) return failReading(doc, StatusCode::kOutOfMemory);
  const PixelWriter writer(chunks, colourMode);
  DecodeProgress progress;
  if (header.interlaced) {
    progress = decodeRows(
        header, stream, writer,
        [&](size_t p, uint32_t y) { return passes.pictures[p].row(static_cast<int32_t>(y)); },
        [&](size_t p, int64_t rows) { return reachRows(passes.pictures[p], rows); });
  } else {
    progress = decodeRows(
        header, stream, writer,
        [&](size_t, uint32_t y) { return picture.row(static_cast<int32_t>(y)); },
        [&](size_t, int64_t rows) { return reachRows(picture, rows); });
  }
  if (progress.outOfMemory) return failReading(doc, StatusCode::kOutOfMemory);
  if (progress.pixels == 0) return failReading(doc, Status(StatusCode::kDamaged, progress.stopped));
  status = StatusCode::kOk;
  if (!progress.complete)
    status = endBrokenPicture(picture, static_cast<int64_t>(progress.pixels / header.width),
                              progress.stopped);
  else if (!reachRows(picture, header.height))
    status = StatusCode::kOutOfMemory;
  if (!givesPicture(status)) return failReading(doc, status);
  if (header.interlaced) passes.scatter(picture);
  installPicture(doc, std::move(picture));
  return status;
}

}  // namespace vz
