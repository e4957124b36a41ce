#include "converter/formats/jpeg/jpeg_markers.h"

#include <cstring>
#include <memory>
#include <new>

#include "converter/formats/jpeg/jpeg_exif.h"
#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

namespace {

constexpr int kMarkerDht = 0xC4;
constexpr int kMarkerJpg = 0xC8;
constexpr int kMarkerDac = 0xCC;
constexpr int kMarkerRst0 = 0xD0;
constexpr int kMarkerSoi = 0xD8;
constexpr int kMarkerDqt = 0xDB;
constexpr int kMarkerDri = 0xDD;
constexpr int kMarkerTem = 0x01;
constexpr int kMarkerApp0 = 0xE0;
constexpr int kMarkerApp1 = 0xE1;
constexpr int kMarkerApp14 = 0xEE;

constexpr int kSoiSearchLimit = 512;

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

}  // namespace

void JpegHeaderReader::prime() {
  window_ = 0;
  for (int i = 0; i < 4; ++i) window_ = window_ << 8 | input_.nextByte();
  bitCount_ = 32;
}

uint32_t JpegHeaderReader::bits(int count) {
  const uint32_t value = window_ >> (32 - count);
  window_ <<= count;
  bitCount_ -= count;
  if (bitCount_ <= 16) {
    const uint32_t high = input_.nextByte();
    const uint32_t low = input_.nextByte();
    window_ |= (high << 8 | low) << (16 - bitCount_);
    bitCount_ += 16;
  }
  return value;
}

void JpegHeaderReader::returnUnread() {
  const int bytes = bitCount_ / 8;
  for (int i = bytes - 1; i >= 0; --i)
    input_.pushBack(static_cast<uint8_t>(window_ >> (24 - 8 * i)));
  window_ = 0;
  bitCount_ = 0;
}

void JpegHeaderReader::findStartOfImage() {
  uint32_t first = byte();
  uint32_t second = byte();
  if (first == 0xFF && second == kMarkerSoi) return;
  for (int i = 2; i < kSoiSearchLimit + 1; ++i) {
    first = second;
    second = byte();
    if (first == 0xFF && second == kMarkerSoi) {
      if ((window_ >> 24) != 0xFF) failJpeg(JpegError::kNoStartOfImage);
      return;
    }
  }
  failJpeg(JpegError::kNoStartOfImage);
}

int JpegHeaderReader::nextMarker(JpegTables& tables, bool fastPath) {
  for (;;) {
    uint32_t marker = byte();
    while (marker != 0xFF) marker = byte();
    do marker = byte();
    while (marker == 0xFF);
    if (marker == 0) continue;

    switch (marker) {
      case kMarkerDht:
        readHuffmanTables(tables);
        break;
      case kMarkerDqt:
        readQuantisationTables(tables, fastPath);
        break;
      case kMarkerDri:
        readRestartInterval(tables);
        break;
      case kMarkerDac:
        readArithmeticConditioning(tables);
        break;
      case kMarkerApp0:
      case kMarkerApp1:
      case kMarkerApp14:
        readApplicationSegment(static_cast<int>(marker));
        break;
      case kMarkerTem:
      case kMarkerJpg:
        failJpeg(JpegError::kMisplacedMarker);
      default:
        if (marker >= kMarkerRst0 && marker <= kMarkerRst0 + 7)
          failJpeg(JpegError::kMisplacedMarker);
        if ((marker >= 0xC0 && marker <= 0xCF) || marker == kMarkerSoi ||
            marker == jpegmarker::kEoi || marker == jpegmarker::kSos)
          return static_cast<int>(marker);
        {
          const uint32_t length = word();
          if (length < 2) failJpeg(JpegError::kBadSegmentLength);
          skip(length - 2);
        }
    }
  }
}

void JpegHeaderReader::skip(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) byte();
}

void JpegHeaderReader::readApplicationSegment(int marker) {
  const uint32_t length = word();
  if (length < 2) failJpeg(JpegError::kBadSegmentLength);
  const uint32_t size = length - 2;
  // Only the first EXIF block counts; APP1 also carries XMP and others.
  const bool wanted = (marker == kMarkerApp0 && size >= 5) ||
                      (marker == kMarkerApp1 && info_.orientation == 0 && size >= 6) ||
                      (marker == kMarkerApp14 && size >= 12);
  if (!wanted) {
    skip(size);
    return;
  }
  std::unique_ptr<uint8_t[]> payload(new (std::nothrow) uint8_t[size]);
  if (!payload) failJpeg(JpegError::kOutOfMemory);
  for (uint32_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(byte());
  if (marker == kMarkerApp0) {
    if (std::memcmp(payload.get(), "JFIF", 5) == 0) info_.jfif = true;
  } else if (marker == kMarkerApp1) {
    info_.orientation = exifOrientation(payload.get(), size);
  } else if (std::memcmp(payload.get(), "Adobe", 5) == 0) {
    // "Adobe", version, two flag words, then the colour transform.
    info_.adobe = true;
    info_.adobeTransform = payload[11];
  }
}

void JpegHeaderReader::readArithmeticConditioning(JpegTables& tables) {
  const uint32_t length = word();
  if (length < 2 || (length - 2) % 2 != 0) failJpeg(JpegError::kBadSegmentLength);
  for (uint32_t i = 2; i < length; i += 2) {
    const uint32_t classAndNumber = byte();
    const uint32_t value = byte();
    const uint32_t number = classAndNumber & 0x0F;
    if (number > 3 || (classAndNumber >> 4) > 1) failJpeg(JpegError::kBadArithmeticTable);
    if ((classAndNumber >> 4) == 0) {
      const uint32_t lower = value & 0x0F;
      const uint32_t upper = value >> 4;
      if (lower > upper) failJpeg(JpegError::kBadArithmeticTable);
      tables.dcLower[number] = static_cast<uint8_t>(lower);
      tables.dcUpper[number] = static_cast<uint8_t>(upper);
    } else {
      if (value < 1 || value > 63) failJpeg(JpegError::kBadArithmeticTable);
      tables.acSplit[number] = static_cast<uint8_t>(value);
    }
  }
}

void JpegHeaderReader::readHuffmanTables(JpegTables& tables) {
  const uint32_t length = word();
  if (length < 2) failJpeg(JpegError::kShortHuffmanSegment);
  int32_t remaining = static_cast<int32_t>(length) - 2;
  while (remaining > 0) {
    const uint32_t classAndNumber = byte();
    uint8_t counts[17] = {};
    int total = 0;
    for (int i = 1; i <= 16; ++i) {
      counts[i] = static_cast<uint8_t>(byte());
      total += counts[i];
    }
    if (total > 255) failJpeg(JpegError::kTooManyHuffmanCodes);
    uint8_t symbols[256] = {};
    for (int i = 0; i < total; ++i) symbols[i] = static_cast<uint8_t>(byte());
    if (remaining < total + 17) failJpeg(JpegError::kShortHuffmanSegment);
    remaining -= total + 17;
    const uint32_t slot = (classAndNumber & 0x0F) + 4 * ((classAndNumber >> 4) & 1);
    if (slot >= 8) failJpeg(JpegError::kBadHuffmanSlot);
    if (overfillsCodeSpace(counts)) failJpeg(JpegError::kTooManyHuffmanCodes);
    if (tables.codes[slot] == nullptr) tables.codes[slot] = pool_.take<JpegHuffmanCodes>();
    std::memcpy(tables.codes[slot]->counts, counts, sizeof counts);
    std::memcpy(tables.codes[slot]->symbols, symbols, sizeof symbols);
    tables.changed[slot] = true;
  }
}

void JpegHeaderReader::readQuantisationTables(JpegTables& tables, bool fastPath) {
  const uint32_t length = word();
  if (length < 2) failJpeg(JpegError::kShortQuantisationLength);
  int32_t remaining = static_cast<int32_t>(length) - 2;
  while (remaining > 0) {
    const uint32_t precisionAndNumber = byte();
    const uint32_t number = precisionAndNumber & 0x0F;
    const bool sixteenBit = (precisionAndNumber >> 4) != 0;
    if (number >= 4) failJpeg(JpegError::kBadQuantisationNumber);
    if (tables.quantisation[number] == nullptr)
      tables.quantisation[number] = pool_.take<int16_t>(64);
    int16_t* table = tables.quantisation[number];
    for (int k = 0; k < 64; ++k) {
      const uint32_t value = sixteenBit ? word() : byte();
      if (fastPath) {
        // Natural order, with the transform's scale factors folded in.
        const int z = kJpegZigZag[k];
        const int64_t scaled = (static_cast<int64_t>(value) * kJpegAanScale[z] + 2048) >> 12;
        table[z] = truncate16(static_cast<uint32_t>(scaled));
      } else {
        table[k] = truncate16(value);
      }
    }
    const int32_t used = sixteenBit ? 129 : 65;
    if (remaining < used) failJpeg(JpegError::kShortQuantisationSegment);
    remaining -= used;
  }
}

void JpegHeaderReader::readRestartInterval(JpegTables& tables) {
  if (word() != 4) failJpeg(JpegError::kBadRestartLength);
  tables.restartInterval = static_cast<int32_t>(word());
}

void JpegHeaderReader::readFrameHeader(JpegFrame& frame) {
  const uint32_t length = word();
  if (byte() != 8) failJpeg(JpegError::kBadPrecision);
  // Height 0 would leave the height to a DNL segment after the first scan.
  const int32_t height = static_cast<int32_t>(word());
  if (height < 1) failJpeg(JpegError::kBadHeight);
  const int32_t width = static_cast<int32_t>(word());
  if (width < 1) failJpeg(JpegError::kBadWidth);
  const int32_t count = static_cast<int32_t>(byte());
  if (count > 4) failJpeg(JpegError::kTooManyComponents);
  if (length != static_cast<uint32_t>(3 * count + 8)) failJpeg(JpegError::kBadFrameLength);
  frame.height = height;
  frame.width = width;
  frame.componentCount = count;
  for (int i = 0; i < count; ++i) {
    JpegComponent& component = frame.components[i];
    component.id = static_cast<int32_t>(byte());
    component.h = static_cast<int32_t>(bits(4));
    component.v = static_cast<int32_t>(bits(4));
    component.tq = static_cast<int32_t>(byte());
  }
}

void JpegHeaderReader::readScanHeader(JpegFrame& frame, JpegScan& scan) {
  const uint32_t length = word();
  const int32_t count = static_cast<int32_t>(byte());
  if (count < 1 || count > 4 || length != static_cast<uint32_t>(2 * count + 6))
    failJpeg(JpegError::kBadScanHeader);
  scan.count = count;
  for (int i = 0; i < count; ++i) {
    const int32_t id = static_cast<int32_t>(byte());
    const uint32_t slots = byte();
    int index = 0;
    while (index < frame.componentCount && frame.components[index].id != id) ++index;
    if (index == frame.componentCount) failJpeg(JpegError::kUnknownScanComponent);
    for (int j = 0; j < i; ++j)
      if (scan.components[j] == index) failJpeg(JpegError::kBadScanHeader);
    scan.components[i] = index;
    frame.components[index].dcSlot = static_cast<int32_t>(slots >> 4);
    frame.components[index].acSlot = static_cast<int32_t>(slots & 0x0F) + 4;
  }
  scan.ss = static_cast<int32_t>(byte());
  scan.se = static_cast<int32_t>(byte());
  scan.ah = static_cast<int32_t>(bits(4));
  scan.al = static_cast<int32_t>(bits(4));
  if (!frame.progressive) {
    scan.ss = 0;
    scan.se = 63;
  }
}

}  // namespace vz
