#include "converter/formats/tvc/kep_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "converter/model/tvc_colours.h"
#include "converter/formats/tvc/tvc_bytes.h"

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

uint32_t u16At(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t u32At(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

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

size_t clampedRows(size_t rows) {
  return std::min<size_t>(rows, 0x7FFFFFFF);
}

// A header may ask for up to 2 GB; when that much memory cannot be had, the file gives
// no picture instead of ending the program.
int32_t allocateOrRefuse(ImageDocument& doc, int64_t width, int64_t height) {
  try {
    return allocatePicture(doc, width, height, doc.colourMode);
  } catch (const std::bad_alloc&) {
    releasePicture(doc);
    return 0;
  }
}

// Entries 0..3 of a picture that has no palette of its own: black, bright green,
// bright red, bright blue.
KepDecodeColours defaultFourColours() {
  return {tvcColour(0), tvcColour(12), tvcColour(10), tvcColour(9)};
}

}  // namespace

int32_t decodeTvcPicture(const uint8_t* data, size_t length, ImageDocument& doc, uint8_t modeByte,
                         size_t rowBytes, KepDecodeColours& kepDecodeColours) {
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
  std::copy(doc.palette.begin(), doc.palette.begin() + 4, kepDecodeColours.begin());

  const int32_t size = allocateOrRefuse(doc, doc.width, doc.height);
  if (size <= 0 || modeByte >= kFirstUndecodedMode || rowBytes == 0) return size;
  TvcLayout layout;
  if (!tvcLayoutOf(doc.colourMode, doc.interlaced, layout)) return size;
  // Rows of T TVC bytes must fit the document's rows.
  if (rowBytes > static_cast<size_t>(doc.rowStride) / documentBytesPerTvcByte(layout)) return size;

  PictureFiller filler(doc, rowBytes, layout);
  const uint8_t* pixelData = data + std::min(dataOffset, length);
  const size_t pixelLength = length > dataOffset ? length - dataOffset : 0;
  if (modeByte >= kFirstHeaderMode && modeByte < kFirstPlainMode)
    decodeRle(pixelData, pixelLength, filler);
  else
    decodePlain(pixelData, pixelLength, filler);
  return size;
}

int32_t readKep(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours) {
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
    static const int32_t kHeaderlessWidths[4] = {512, 256, 128, 256};
    doc.colourMode = kind == kTvcFourInterlaced ? 4 : doc.colourMode;
    doc.width = kHeaderlessWidths[kind];
    doc.height = static_cast<int32_t>(clampedRows(fileSize / kHeaderlessRowBytes));
    return decodeTvcPicture(data, length, doc, modeByte, kHeaderlessRowBytes, kepDecodeColours);
  }
  // A header cut before its width and height gives an empty picture.
  const bool sized = length >= kHeaderFieldsSize;
  doc.width = sized ? static_cast<int32_t>(u16At(data + 4)) : 0;
  doc.height = sized ? static_cast<int32_t>(u16At(data + 6)) : 0;
  doc.interlaced = kind == kTvcFourInterlaced;
  const int32_t rowMode = kind == kTvcFourInterlaced ? 4 : doc.colourMode;
  const auto rowBytes = static_cast<size_t>(tvcBytesPerRow(rowMode, doc.width));
  return decodeTvcPicture(data, length, doc, modeByte, rowBytes, kepDecodeColours);
}

int32_t readR16(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours) {
  doc.width = 32;
  doc.height = 60;
  doc.colourMode = 16;
  doc.interlaced = false;
  return decodeTvcPicture(fileData, fileSize, doc, kTvcSixteenColours, 16, kepDecodeColours);
}

int32_t readVid(size_t fileSize, const uint8_t* fileData, ImageDocument& doc,
                KepDecodeColours& kepDecodeColours) {
  if (fileSize < kPreambleSize || !startsWith(fileData, fileSize, "VID")) return 0;
  const uint8_t modeByte = fileData[3];
  const int kind = modeByte & 3;
  doc.colourMode = kind == kTvcSixteenColours ? 16 : kind == kTvcTwoColours ? 2 : 4;
  if (modeByte < kFirstHeaderMode || fileSize < kVidHeaderSize) return 0;

  const int32_t width = static_cast<int32_t>(u16At(fileData + 8));
  const uint32_t frameHeight = u16At(fileData + 10);
  const uint32_t frameCount = u32At(fileData + 16);
  const size_t frameSize = u16At(fileData + 24);
  const auto rowBytes = static_cast<size_t>(tvcBytesPerRow(doc.colourMode, width));
  // A width of 0 has no rows to cut the frames into.
  if (rowBytes == 0) return 0;
  const size_t rowsPerFrame = frameSize / rowBytes;

  doc.palette.fill(0);
  if (doc.colourMode == 16)
    setTvcPalette(doc);
  else
    setFourFromHardwareBytes(doc, fileData + 4, 4);
  std::copy(doc.palette.begin(), doc.palette.begin() + 4, kepDecodeColours.begin());

  const int32_t size =
      allocateOrRefuse(doc, width, static_cast<int64_t>(rowsPerFrame) * kVidMaxFrames);
  if (size <= 0) {
    releasePicture(doc);
    return 0;
  }
  // The height never claims more rows than the frames' buffer holds.
  const uint64_t claimedRows =
      static_cast<uint64_t>(frameHeight) * std::min(frameCount, kVidMaxFrames);
  doc.height = static_cast<int32_t>(std::min<uint64_t>(claimedRows, doc.height));

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
  return size;
}

}  // namespace vz
