// Huffman codes as a DHT segment gives them, and the tables the entropy decoders use.
#pragma once

#include <cstdint>

namespace vz {

// Code counts per length (1..16) and the symbols in code order.
struct JpegHuffmanCodes {
  uint8_t counts[17];
  uint8_t symbols[256];
};

// True when the counts need more codes of some length than the shorter ones leave room
// for: such codes would need more tree nodes than exist.
bool overfillsCodeSpace(const uint8_t counts[17]);

struct JpegHuffmanTable {
  static constexpr int kLookaheadBits = 10;

  // Fails with kTooManyHuffmanCodes when a code cannot be placed.
  void build(const JpegHuffmanCodes& codes);

  // First eight bits -> symbol, or -(2 node + 1) to go on in the tree.
  int32_t firstLevel[256];
  // Node n: its children for a 1 bit at 2n, for a 0 bit at 2n + 1.
  int32_t tree[512];
  uint8_t codeLength[256];
  // Next kLookaheadBits bits -> (bits consumed << 8 | symbol), or -1 to walk the tree.
  int16_t fast[1 << kLookaheadBits];
  // AC tables: when a code and its extra bits fit in kLookaheadBits, the next
  // kLookaheadBits bits -> (coefficient << 16 | run << 8 | bits consumed); otherwise 0.
  int32_t runAndValue[1 << kLookaheadBits];
};

}  // namespace vz
