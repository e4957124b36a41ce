#include "converter/formats/jpeg/jpeg_bit_reader.h"

namespace vz {

namespace {
constexpr int kMarkerRst0 = 0xD0;
// Junk tolerated before a restart marker, counted in bytes.
constexpr int kRestartSearchBudget = 1536;
}  // namespace

// Past the end of the data the input's endless EOI is taken as it comes, FF D9 FF D9 ...
uint8_t JpegBitReader::nextDataByte() {
  if (atMarker_) return 0xFF;
  bool pastEnd = false;
  const uint8_t byte = input_.nextByte(pastEnd);
  if (pastEnd) {
    padded_ = true;
    return byte;
  }
  if (byte != 0xFF) return byte;
  const uint8_t next = input_.nextByte();
  if (next == 0) return 0xFF;
  input_.pushBack(next);
  input_.pushBack(0xFF);
  atMarker_ = true;
  padded_ = true;
  return 0xFF;
}

void JpegBitReader::fill() {
  if (fillQuickly(buffer_, count_)) return;
  while (count_ <= 56) {
    buffer_ |= static_cast<uint64_t>(nextDataByte()) << (56 - count_);
    count_ += 8;
    if (padded_) padding_ += 8;
  }
}

int JpegBitReader::decodeLongCode(const JpegHuffmanTable& table) {
  int32_t entry = table.firstLevel[buffer_ >> 56];
  buffer_ <<= 8;
  count_ -= 8;
  while (entry < 0) {
    const int32_t node = (-entry - 1) / 2;
    const bool one = (buffer_ >> 63) != 0;
    buffer_ <<= 1;
    count_ -= 1;
    entry = table.tree[2 * node + (one ? 0 : 1)];
  }
  return entry;
}

void skipToRestartMarker(JpegInput& input, int expected) {
  int counted = 0;
  for (;;) {
    uint8_t byte = input.nextByte();
    while (byte != 0xFF) {
      if (++counted >= kRestartSearchBudget) failJpeg(JpegError::kBadRestart);
      byte = input.nextByte();
    }
    byte = input.nextByte();
    while (byte == 0xFF) {
      if (++counted >= kRestartSearchBudget) failJpeg(JpegError::kBadRestart);
      byte = input.nextByte();
    }
    // FF 00 is a data byte the decoder left unread.
    if (byte != 0) {
      if (byte != kMarkerRst0 + expected) failJpeg(JpegError::kBadRestart);
      return;
    }
    if ((counted += 2) >= kRestartSearchBudget) failJpeg(JpegError::kBadRestart);
  }
}

void JpegBitReader::restartAt(int expected) {
  reset();
  skipToRestartMarker(input_, expected);
  fill();
}

}  // namespace vz
