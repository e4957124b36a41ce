#include "converter/formats/tvc/kep_reader.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "converter/formats/tvc/tvc_bytes.h"
#include "converter/model/tvc_colours.h"

namespace vz {

namespace {

constexpr size_t kPreambleSize = 4;               // "KEP" and the mode byte
constexpr size_t kHeaderlessRowBytes = 64;        // every headerless form has 64-byte rows
constexpr size_t kHeaderFieldsSize = 8;           // palette, width and height after the preamble
constexpr size_t kHeaderDataOffset = 12;          // the picture data after the preamble
constexpr size_t kPaletteInHeaderlessFour = 4;    // mode 1: four palette bytes, then data
constexpr uint8_t kHeaderlessFourColourMode = 3;  // also every file without a signature
constexpr uint8_t kFirstHeaderMode = 4;
constexpr uint8_t kFirstPlainMode = 8;
constexpr uint8_t kFirstUndecodedMode = 12;

constexpr size_t kVidFramesOffset = 512;
constexpr size_t kVidHeaderSize = 26;  // up to and with the frame size field
constexpr uint32_t kVidMaxFrames = 40;
constexpr uint64_t kLongestRun = 63;                            // TVC bytes one RLE pair can give
constexpr int32_t kHeaderlessWidths[4] = {512, 256, 128, 256};  // by the mode's kind

bool startsWith(const uint8_t* data, size_t size, const char* signature) {
  return size >= 3 && std::memcmp(data, signature, 3) == 0;
}

ColourValue colourOfHardwareByte(uint8_t hardwareByte) {
  return tvcColour(tvcIndexOfHardwareByte(hardwareByte));
}

// Entries 0..3 from four hardware bytes; bytes the file lacks count as black.
void setFourFromHardwareBytes(ImageDocument& doc, const uint8_t* bytes, size_t available) {
  for (size_t i = 0; i < 4; ++i)
    doc.palette[i] = colourOfHardwareByte(i < available ? bytes[i] : 0);
}

// Places decoded TVC bytes into the document, T to a row; rows past the buffer are
// never reached because callers stop at T x height.
class PictureFiller {
 public:
  PictureFiller(ImageDocument& doc, size_t rowBytes, TvcLayout layout)
      : doc_(doc),
        rowBytes_(rowBytes),
        layout_(layout),
        capacity_(rowBytes * static_cast<size_t>(std::max(doc.height, 0))) {}

  bool full() const { return filled_ >= capacity_; }
  size_t remaining() const { return capacity_ - filled_; }
  size_t rowsFilled() const { return filled_ / rowBytes_; }

  void put(uint8_t tvcByte) {
    const size_t row = filled_ / rowBytes_;
    const size_t column = filled_ % rowBytes_;
    uint8_t* unit = doc_.row(static_cast<int32_t>(row)) +
                    column * static_cast<size_t>(documentBytesPerTvcByte(layout_));
    storeTvcByte(layout_, tvcByte, unit);
    // Odd rows of an interlaced picture use the second palette half, entries 4..7.
    if (doc_.interlaced && row % 2 == 1) {
      unit[0] |= 0x44;
      unit[1] |= 0x44;
    }
    ++filled_;
  }

 private:
  ImageDocument& doc_;
  size_t rowBytes_;
  TvcLayout layout_;
  size_t capacity_;
  size_t filled_ = 0;
};

void decodePlain(const uint8_t* data, size_t length, PictureFiller& filler) {
  const size_t count = std::min(length, filler.remaining());
  for (size_t i = 0; i < count; ++i) filler.put(data[i]);
}

// The marker tag S starts at 0; a byte whose top two bits equal S is a run byte for
// the byte after it, and a run of one moves S on.
void decodeRle(const uint8_t* data, size_t length, PictureFiller& filler) {
  uint8_t tag = 0;
  size_t in = 0;
  while (in < length && !filler.full()) {
    const uint8_t byte = data[in++];
    if ((byte & 0xC0) != tag) {
      filler.put(byte);
      continue;
    }
    if (in >= length) break;
    const uint8_t value = data[in++];
    const int count = byte & 0x3F;
    for (int i = 0; i < count && !filler.full(); ++i) filler.put(value);
    if (count == 1) tag = static_cast<uint8_t>(tag + 0x40);
  }
}

// A VID file's colour mode, by its mode byte's kind.
ColourMode vidColourMode(uint8_t modeByte) {
  const int kind = modeByte & 3;
  return kind == kTvcSixteenColours ? ColourMode::kColours16
         : kind == kTvcTwoColours   ? ColourMode::kColours2
                                    : ColourMode::kColours4;
}

// The rows of a VID file's frames' buffer: as many as a frame holds, for every frame it
// may have; the header (kVidHeaderSize bytes) is there.
uint64_t vidBufferRows(const uint8_t* header) {
  const int64_t rowBytes = tvcBytesPerRow(vidColourMode(header[3]), loadU16Le(header + 8));
  return rowBytes > 0
             ? uint64_t{loadU16Le(header + 24)} / static_cast<uint64_t>(rowBytes) * kVidMaxFrames
             : 0;
}

size_t clampedRows(size_t rows) {
  return std::min<size_t>(rows, 0x7FFFFFFF);
}

// The most rows of rowBytes TVC bytes that length bytes of picture data can fill (a
// row begun counts): plain data gives a TVC byte a byte, RLE at most kLongestRun a pair.
uint64_t rowsTheDataCanFill(size_t length, size_t rowBytes, bool rle) {
  const uint64_t bytes = rle ? static_cast<uint64_t>(length / 2) * kLongestRun + length % 2
                             : static_cast<uint64_t>(length);
  return (bytes + rowBytes - 1) / rowBytes;
}

// Entries 0..3 of a picture that has no palette of its own: black, bright green,
// bright red, bright blue.
KepDecodeColours defaultFourColours() {
  return {tvcColour(0), tvcColour(12), tvcColour(10), tvcColour(9)};
}

}  // namespace

Status decodeTvcPicture(const uint8_t* data, size_t length, ImageDocument& doc, uint8_t modeByte,
                        size_t rowBytes, int64_t maxPixels) {
  const int kind = modeByte & 3;
  doc.palette.fill(0);
  size_t dataOffset = 0;
  if (modeByte >= kFirstHeaderMode) {
    dataOffset = kHeaderDataOffset;
    if (kind == kTvcSixteenColours) {
      setTvcPalette(doc);
    } else if (kind == kTvcFourInterlaced) {
      const ColourValue black = tvcColour(0);
      const ColourValue white = tvcColour(15);
      doc.palette[0] = doc.palette[4] = black;
      doc.palette[3] = doc.palette[7] = white;
      const size_t slots[4] = {1, 2, 5, 6};
      for (size_t i = 0; i < 4; ++i)
        doc.palette[slots[i]] = colourOfHardwareByte(i < length ? data[i] : 0);
    } else {
      setFourFromHardwareBytes(doc, data, length);
    }
  } else if (modeByte == kTvcFourColours) {
    dataOffset = kPaletteInHeaderlessFour;
    setFourFromHardwareBytes(doc, data, length);
  } else if (modeByte == kTvcSixteenColours) {
    setTvcPalette(doc);
  } else {
    const KepDecodeColours defaults = defaultFourColours();
    std::copy(defaults.begin(), defaults.end(), doc.palette.begin());
  }

  const bool headerForm = modeByte >= kFirstHeaderMode;
  const bool rle = headerForm && modeByte < kFirstPlainMode;
  const uint8_t* pixelData = data + std::min(dataOffset, length);
  const size_t pixelLength = length > dataOffset ? length - dataOffset : 0;
  // A header's height is only a claim: a few bytes must not make a picture of gigabytes.
  uint64_t height = static_cast<uint64_t>(std::max(doc.height, 0));
  if (headerForm && rowBytes > 0)
    height = std::min(height, rowsTheDataCanFill(pixelLength, rowBytes, rle));
  const Status allocated = allocatePictureForReading(doc, doc.width, static_cast<int64_t>(height),
                                                     doc.colourMode, maxPixels);
  if (allocated != StatusCode::kOk) return failReading(doc, allocated);
  if (modeByte >= kFirstUndecodedMode)
    return Status(StatusCode::kPartial, "KEP mode " + std::to_string(modeByte) +
                                            " is not decoded; the picture stays black");

  TvcLayout layout;
  // Rows of T TVC bytes must fit the document's rows.
  if (rowBytes == 0 || !tvcLayoutOf(doc.colourMode, doc.interlaced, layout) ||
      rowBytes > static_cast<size_t>(doc.rowStride) / documentBytesPerTvcByte(layout))
    return Status(StatusCode::kPartial, "KEP rows of " + std::to_string(rowBytes) +
                                            " bytes do not fit a width of " +
                                            std::to_string(doc.width));
  PictureFiller filler(doc, rowBytes, layout);
  if (rle)
    decodeRle(pixelData, pixelLength, filler);
  else
    decodePlain(pixelData, pixelLength, filler);
  if (filler.full()) return StatusCode::kOk;
  return Status(StatusCode::kPartial, "data ends at row " + std::to_string(filler.rowsFilled()) +
                                          " of " + std::to_string(doc.height));
}

Status readKep(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  const bool signature = startsWith(fileData, fileSize, "KEP");
  // A file of just "KEP" has no mode byte: it is read as the signed 4-colour form, which
  // then has no rows.
  const uint8_t modeByte =
      signature && fileSize >= kPreambleSize ? fileData[3] : kHeaderlessFourColourMode;
  const uint8_t* data = signature ? fileData + std::min(fileSize, kPreambleSize) : fileData;
  const size_t length = signature ? fileSize - std::min(fileSize, kPreambleSize) : fileSize;

  const int kind = modeByte & 3;
  doc.colourMode = colourModeOfKind(kind);
  doc.interlaced = false;
  if (modeByte < kFirstHeaderMode) {
    // Older forms: fixed 64-byte rows, counted over the whole file, signature included.
    doc.colourMode = kind == kTvcFourInterlaced ? ColourMode::kColours4 : doc.colourMode;
    doc.width = kHeaderlessWidths[kind];
    doc.height = static_cast<int32_t>(clampedRows(fileSize / kHeaderlessRowBytes));
    const Status status =
        decodeTvcPicture(data, length, doc, modeByte, kHeaderlessRowBytes, options.maxPixels);
    // Counted so, the last row of a signed file always lacks the preamble's bytes: that
    // is the form, not a cut.
    return status == StatusCode::kPartial ? StatusCode::kOk : status;
  }
  // A header cut before its width and height gives an empty picture.
  const bool sized = length >= kHeaderFieldsSize;
  doc.width = sized ? static_cast<int32_t>(loadU16Le(data + 4)) : 0;
  doc.height = sized ? static_cast<int32_t>(loadU16Le(data + 6)) : 0;
  doc.interlaced = kind == kTvcFourInterlaced;
  const ColourMode rowMode = kind == kTvcFourInterlaced ? ColourMode::kColours4 : doc.colourMode;
  const auto rowBytes = static_cast<size_t>(tvcBytesPerRow(rowMode, doc.width));
  return decodeTvcPicture(data, length, doc, modeByte, rowBytes, options.maxPixels);
}

bool claimKep(size_t size, const uint8_t* head, uint64_t fileSize, PictureClaim& claim) {
  const bool signature = startsWith(head, size, "KEP");
  if (signature && size < kPreambleSize + kHeaderFieldsSize) return false;
  const uint8_t modeByte = signature ? head[3] : kHeaderlessFourColourMode;
  if (modeByte < kFirstHeaderMode)
    claim = {kHeaderlessWidths[modeByte & 3], static_cast<int64_t>(fileSize / kHeaderlessRowBytes)};
  else
    claim = {loadU16Le(head + 8), loadU16Le(head + 10)};
  return true;
}

bool claimVid(size_t size, const uint8_t* head, uint64_t, PictureClaim& claim) {
  if (size < kVidHeaderSize || !startsWith(head, size, "VID")) return false;
  claim = {loadU16Le(head + 8), static_cast<int64_t>(vidBufferRows(head))};
  return true;
}

bool claimR16(size_t, const uint8_t*, uint64_t, PictureClaim& claim) {
  claim = {32, 60};
  return true;
}

Status readR16(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  doc.width = 32;
  doc.height = 60;
  doc.colourMode = ColourMode::kColours16;
  doc.interlaced = false;
  // A file with no data is no picture; a short one keeps the rows it holds.
  if (fileSize == 0) return failReading(doc, Status(StatusCode::kDamaged, "empty file"));
  return decodeTvcPicture(fileData, fileSize, doc, kTvcSixteenColours, 16, options.maxPixels);
}

Status readVid(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
               const ReadOptions& options) {
  if (fileSize < kPreambleSize || !startsWith(fileData, fileSize, "VID"))
    return failReading(doc, Status(StatusCode::kNotThisFormat, "not a VID file"));
  const uint8_t modeByte = fileData[3];
  doc.colourMode = vidColourMode(modeByte);
  if (modeByte < kFirstHeaderMode)
    return failReading(doc, Status(StatusCode::kUnsupported,
                                   "VID mode " + std::to_string(modeByte) + " not supported"));
  if (fileSize < kVidHeaderSize)
    return failReading(doc, Status(StatusCode::kDamaged, "data ends in the VID header"));

  const int32_t width = static_cast<int32_t>(loadU16Le(fileData + 8));
  const uint32_t frameHeight = loadU16Le(fileData + 10);
  const uint32_t frames = std::min(loadU32Le(fileData + 16), kVidMaxFrames);
  const size_t frameSize = loadU16Le(fileData + 24);
  const auto rowBytes = static_cast<size_t>(tvcBytesPerRow(doc.colourMode, width));
  // A width of 0 has no rows to cut the frames into.
  if (rowBytes == 0)
    return failReading(doc, Status(StatusCode::kDamaged, "VID frames of width 0 have no rows"));
  const size_t rowsPerFrame = frameSize / rowBytes;
  const uint64_t bufferRows = vidBufferRows(fileData);
  // The height never claims more rows than the frames' buffer holds; no frames, or
  // frames of no rows, are no picture.
  const uint64_t rows = std::min<uint64_t>(static_cast<uint64_t>(frameHeight) * frames, bufferRows);
  if (rows == 0) return failReading(doc, Status(StatusCode::kDamaged, "VID header gives no rows"));

  doc.palette.fill(0);
  if (doc.colourMode == ColourMode::kColours16)
    setTvcPalette(doc);
  else
    setFourFromHardwareBytes(doc, fileData + 4, 4);

  const Status allocated = allocatePictureForReading(doc, width, static_cast<int64_t>(bufferRows),
                                                     doc.colourMode, options.maxPixels);
  if (allocated != StatusCode::kOk) return failReading(doc, allocated);
  doc.height = static_cast<int32_t>(rows);

  TvcLayout layout;
  tvcLayoutOf(doc.colourMode, false, layout);
  const size_t unitSize = static_cast<size_t>(documentBytesPerTvcByte(layout));
  for (size_t frame = 0; frame < kVidMaxFrames; ++frame) {
    const size_t start = kVidFramesOffset + frame * frameSize;
    if (start >= fileSize) break;
    const size_t available = std::min(frameSize, fileSize - start);
    const uint8_t* frameData = fileData + start;
    // Each frame is four planes of every fourth row, each plane stored in 64-byte
    // pieces four pieces apart.
    for (size_t j = 0; j < available; ++j) {
      const size_t plane = (j / 64) % 4;
      const size_t inPlane = ((j / 256) % 64) * 64 + j % 64;
      const size_t row = (inPlane / rowBytes) * 4 + plane;
      if (row >= rowsPerFrame) continue;
      const size_t column = inPlane % rowBytes;
      uint8_t* unit = doc.row(static_cast<int32_t>(frame * rowsPerFrame + row)) + column * unitSize;
      storeTvcByte(layout, frameData[j], unit);
    }
  }
  // Frames the header counts but the file lacks stay zero.
  const size_t wholeFrames =
      fileSize >= kVidFramesOffset ? (fileSize - kVidFramesOffset) / frameSize : 0;
  if (wholeFrames >= frames) return StatusCode::kOk;
  return Status(StatusCode::kPartial, "data ends in frame " + std::to_string(wholeFrames + 1) +
                                          " of " + std::to_string(frames));
}

}  // namespace vz
