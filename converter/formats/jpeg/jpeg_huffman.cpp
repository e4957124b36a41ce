#include "converter/formats/jpeg/jpeg_huffman.h"

#include <cstring>

#include "converter/formats/jpeg/jpeg_error.h"

namespace vz {

bool overfillsCodeSpace(const uint8_t counts[17]) {
  uint32_t code = 0;
  for (int bits = 1; bits <= 16; ++bits) {
    code += counts[bits];
    if (code > (1u << bits)) return true;
    code <<= 1;
  }
  return false;
}

void JpegHuffmanTable::build(const JpegHuffmanCodes& codes) {
  std::memset(this, 0, sizeof *this);
  int32_t nextNode = 0;
  const auto newNode = [&]() -> int32_t {
    if (nextNode >= 256) failJpeg(JpegError::kTooManyHuffmanCodes);
    return -(2 * nextNode++ + 1);
  };
  // Canonical codes: consecutive within a length, doubled at each longer length.
  uint32_t code = 0;
  int symbolIndex = 0;
  for (int length = 1; length <= 16; ++length, code <<= 1) {
    for (int n = 0; n < codes.counts[length]; ++n, ++code) {
      const uint8_t symbol = codes.symbols[symbolIndex++];
      codeLength[symbol] = static_cast<uint8_t>(length);
      if (length <= 8) {
        const int shift = 8 - length;
        for (uint32_t i = 0; i < (1u << shift); ++i) firstLevel[(code << shift) + i] = symbol;
        continue;
      }
      int32_t* entry = &firstLevel[(code >> (length - 8)) & 0xFF];
      for (int bit = length - 9; bit >= 0; --bit) {
        if (*entry == 0) *entry = newNode();
        if (*entry > 0) failJpeg(JpegError::kTooManyHuffmanCodes);  // a shorter code is a prefix
        const int32_t node = (-*entry - 1) / 2;
        entry = &tree[2 * node + (((code >> bit) & 1) ? 0 : 1)];
      }
      *entry = symbol;
    }
  }
  // The look-up for the next kLookaheadBits bits replays the procedure above bit by bit.
  for (int pattern = 0; pattern < (1 << kLookaheadBits); ++pattern) {
    int32_t entry = firstLevel[pattern >> (kLookaheadBits - 8)];
    int consumed = 8;
    if (entry >= 0) {
      // Eight bits that begin no code read as symbol 0, as decodeLongCode reads them; they
      // take eight bits where symbol 0 has no code of its own, so that junk cannot be
      // decoded without end from no data at all.
      const int length = entry == 0 && codeLength[0] == 0 ? 8 : codeLength[entry];
      fast[pattern] = static_cast<int16_t>(length << 8 | entry);
      continue;
    }
    fast[pattern] = -1;
    for (int bit = kLookaheadBits - 9; bit >= 0 && entry < 0; --bit) {
      const int32_t node = (-entry - 1) / 2;
      entry = tree[2 * node + (((pattern >> bit) & 1) ? 0 : 1)];
      ++consumed;
    }
    if (entry >= 0) fast[pattern] = static_cast<int16_t>(consumed << 8 | entry);
  }
  for (int pattern = 0; pattern < (1 << kLookaheadBits); ++pattern) {
    runAndValue[pattern] = 0;
    if (fast[pattern] < 0) continue;
    const int codeBits = fast[pattern] >> 8;
    const int symbol = fast[pattern] & 0xFF;
    const int size = symbol & 15;
    if (size == 0 || codeBits + size > kLookaheadBits) continue;
    int32_t value = (pattern >> (kLookaheadBits - codeBits - size)) & ((1 << size) - 1);
    if (value < (1 << (size - 1))) value += 1 - (1 << size);
    runAndValue[pattern] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) |
                           (symbol >> 4) << 8 | (codeBits + size);
  }
}

}  // namespace vz
