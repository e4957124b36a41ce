#include "converter/formats/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <exception>

namespace vz {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kPaletteColour = 3;
constexpr uint8_t kRgbColour = 2;
constexpr uint8_t kNoFilter = 0;
constexpr uint8_t kSubFilter = 1;  // each byte less the same byte of the pixel to its left
// The compressed data goes into IDAT chunks of at most this size.
constexpr size_t kLargestDataChunk = size_t{1} << 20;

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(std::vector<uint8_t>& out, const char type[5], const uint8_t* data, size_t size) {
  putBigEndian(out, static_cast<uint32_t>(size));
  const size_t typeStart = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  // The CRC covers the type and the data.
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, out.data() + typeStart, static_cast<uInt>(4));
  for (size_t done = 0; done < size;) {
    const auto piece = static_cast<uInt>(std::min<size_t>(size - done, 1u << 30));
    crc = crc32(crc, data + done, piece);
    done += piece;
  }
  putBigEndian(out, static_cast<uint32_t>(crc));
}

// The largest pixel value of an indexed picture.
int largestPixelValue(const ImageDocument& doc, int bits) {
  int largest = 0;
  for (int32_t y = 0; y < doc.height; ++y)
    for (int32_t x = 0; x < doc.width; ++x)
      largest = std::max<int>(largest, getPackedPixel(doc.row(y), x, bits));
  return largest;
}

class Deflater {
 public:
  Deflater() { ready_ = deflateInit(&stream_, Z_DEFAULT_COMPRESSION) == Z_OK; }
  ~Deflater() {
    if (ready_) deflateEnd(&stream_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  bool ready() const { return ready_; }

  // Compresses the bytes into `out`; `last` ends the stream.
  bool add(const std::vector<uint8_t>& bytes, bool last, std::vector<uint8_t>& out) {
    stream_.next_in = const_cast<Bytef*>(bytes.data());
    stream_.avail_in = static_cast<uInt>(bytes.size());
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    int status = Z_OK;
    do {
      stream_.next_out = buffer_.data();
      stream_.avail_out = static_cast<uInt>(buffer_.size());
      status = deflate(&stream_, flush);
      if (status == Z_STREAM_ERROR) return false;
      out.insert(out.end(), buffer_.data(), buffer_.data() + (buffer_.size() - stream_.avail_out));
    } while (stream_.avail_out == 0);
    return !last || status == Z_STREAM_END;
  }

 private:
  z_stream stream_{};
  bool ready_ = false;
  std::array<Bytef, 1 << 16> buffer_{};
};

std::vector<uint8_t> encode(const ImageDocument& doc, const std::vector<ColourValue>& colourTable) {
  const bool trueColour = doc.colourMode == ColourMode::kTrueColour;
  const int bits = bitsPerPixel(doc.colourMode);

  std::vector<uint8_t> out(kSignature, kSignature + sizeof(kSignature));
  std::vector<uint8_t> header;
  putBigEndian(header, static_cast<uint32_t>(doc.width));
  putBigEndian(header, static_cast<uint32_t>(doc.height));
  header.push_back(static_cast<uint8_t>(trueColour ? 8 : bits));
  header.push_back(trueColour ? kRgbColour : kPaletteColour);
  header.insert(header.end(), {0, 0, 0});  // deflate, adaptive filtering, not interlaced
  putChunk(out, "IHDR", header.data(), header.size());

  if (!trueColour) {
    const size_t entries =
        std::max(colourTable.size(), static_cast<size_t>(largestPixelValue(doc, bits)) + 1);
    std::vector<uint8_t> palette;
    for (size_t i = 0; i < entries; ++i) {
      const ColourValue colour = i < colourTable.size() ? colourTable[i] : 0;
      palette.insert(palette.end(), {redOf(colour), greenOf(colour), blueOf(colour)});
    }
    putChunk(out, "PLTE", palette.data(), palette.size());
  }

  // Each row: its filter byte, then its bytes (RGB for true colour, whose document rows
  // hold blue, green, red; indexed rows pack pixels as PNG does, leftmost highest).
  const size_t rowBytes = trueColour ? 3 * static_cast<size_t>(doc.width)
                                     : (static_cast<size_t>(doc.width) * bits + 7) / 8;
  std::vector<uint8_t> line(1 + rowBytes);
  std::vector<uint8_t> compressed;
  Deflater deflater;
  if (!deflater.ready()) return {};
  for (int32_t y = 0; y < doc.height; ++y) {
    const uint8_t* row = doc.row(y);
    if (trueColour) {
      line[0] = kSubFilter;
      for (size_t x = 0; x < static_cast<size_t>(doc.width); ++x) {
        line[1 + 3 * x] = row[3 * x + 2];
        line[2 + 3 * x] = row[3 * x + 1];
        line[3 + 3 * x] = row[3 * x];
      }
      // From the right, so that each byte still meets its left neighbour unfiltered.
      for (size_t i = rowBytes; i > 3; --i) line[i] = static_cast<uint8_t>(line[i] - line[i - 3]);
    } else {
      line[0] = kNoFilter;
      std::copy(row, row + rowBytes, line.begin() + 1);
    }
    if (!deflater.add(line, y + 1 == doc.height, compressed)) return {};
  }
  for (size_t done = 0; done < compressed.size(); done += kLargestDataChunk)
    putChunk(out, "IDAT", compressed.data() + done,
             std::min(kLargestDataChunk, compressed.size() - done));
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace

std::vector<uint8_t> encodePng(const ImageDocument& doc,
                               const std::vector<ColourValue>& colourTable) {
  if (!doc.holdsPicture() || !isValidColourMode(doc.colourMode) || doc.width < 1 || doc.height < 1)
    return {};
  try {
    return encode(doc, colourTable);
  } catch (const std::exception&) {  // no memory for the file
    return {};
  }
}

}  // namespace vz
