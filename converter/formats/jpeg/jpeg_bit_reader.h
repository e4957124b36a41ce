// The entropy-coded bits of a scan, most significant first, in a 64-bit buffer that is
// refilled eight bytes at a time while no 0xFF byte is among them.
//
// A 0xFF byte is data only when 0x00 follows; anything else is a marker, which stays in
// the input while the reader goes on delivering 1-bits (padding) behind the real ones.
// Past the end of the data, the input's endless EOI is the padding.
#pragma once

#include <cstdint>
#include <cstring>

#include "converter/formats/jpeg/jpeg_huffman.h"
#include "converter/formats/jpeg/jpeg_input.h"

namespace vz {

// Skips what is left of the entropy-coded data up to the next marker, which must be RSTn
// with n = 'expected'; fails with kBadRestart at any other marker or after too much junk.
void skipToRestartMarker(JpegInput& input, int expected);

class JpegBitReader {
 public:
  explicit JpegBitReader(JpegInput& input) : input_(input) {}

  // Empties the buffer: the next bits come from the input's next byte.
  void reset() {
    buffer_ = 0;
    count_ = 0;
    padding_ = 0;
    atMarker_ = false;
    padded_ = false;
  }
  // Loads the buffer to at least 57 bits.
  void fill();
  // Loads whole bytes into buffer and count (a copy of the reader's own) when the next
  // eight hold no 0xFF; false when they have to go one at a time through fill().
  bool fillQuickly(uint64_t& buffer, int32_t& count) {
    if (atMarker_) return false;
    const uint8_t* next = input_.peek(8);
    if (next == nullptr) return false;
    const uint64_t word = loadBigEndian64(next);
    if (hasByteFF(word)) return false;
    const int take = (64 - count) >> 3;
    if (take > 0) {
      const uint64_t chunk = take == 8 ? word : word >> (64 - 8 * take);
      buffer |= chunk << (64 - count - 8 * take);
      count += 8 * take;
      input_.skip(take);
    }
    return true;
  }
  int32_t count() const { return count_; }
  // True when every bit before the marker or the end of the data has been used: what
  // follows is padding.
  bool dataUsedUp() const { return dataUsedUp(count_); }
  // True once the reader has met the marker or the end that ends the data.
  bool padded() const { return padded_; }
  // The same for a copy of the buffer holding 'count' bits.
  bool dataUsedUp(int32_t count) const { return padded_ && count <= padding_; }

  uint32_t bits(int count) {
    if (count == 0) return 0;
    const uint32_t value = static_cast<uint32_t>(buffer_ >> (64 - count));
    buffer_ <<= count;
    count_ -= count;
    return value;
  }
  // 'size' bits as a signed value: the lower half of the range stands for negatives.
  int32_t extended(int size) {
    if (size == 0) return 0;
    const int32_t value = static_cast<int32_t>(bits(size));
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
  }
  int decode(const JpegHuffmanTable& table) {
    const int16_t entry = table.fast[buffer_ >> (64 - JpegHuffmanTable::kLookaheadBits)];
    if (entry < 0) return decodeLongCode(table);
    const int consumed = entry >> 8;
    buffer_ <<= consumed;
    count_ -= consumed;
    return entry & 0xFF;
  }
  // Codes longer than the look-up: eight bits, then the tree one bit at a time.
  int decodeLongCode(const JpegHuffmanTable& table);

  // Skips to the next marker, which must be RSTn with n = 'expected', and starts on the
  // data after it.
  void restartAt(int expected);

  // The hot loops keep the buffer in locals: they take it out, and put it back before
  // anything else uses the reader.
  uint64_t buffer() const { return buffer_; }
  void putBack(uint64_t buffer, int32_t count) {
    buffer_ = buffer;
    count_ = count;
  }

 private:
  static bool hasByteFF(uint64_t word) {
    const uint64_t inverted = ~word;
    return ((inverted - 0x0101010101010101ULL) & word & 0x8080808080808080ULL) != 0;
  }
  static uint64_t loadBigEndian64(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return __builtin_bswap64(word);
  }
  uint8_t nextDataByte();

  JpegInput& input_;
  uint64_t buffer_ = 0;
  int32_t count_ = 0;
  int32_t padding_ = 0;  // how many of the buffered bits are padding
  bool atMarker_ = false;
  bool padded_ = false;  // the data has ended: every bit loaded from now on is padding
};

}  // namespace vz
