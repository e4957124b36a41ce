// Sequential and progressive Huffman JPEG decoding, one output row at a time.
//
// Calling order: construct over a stream (reads up to the frame header), check
// errorCode(), start(), readRow() until it returns non-zero or height() rows are read,
// check errorCode() again, destroy the decoder, then the stream.
//
// Nothing throws out of the decoder. A failure records a negative code, releases every
// buffer and the stream, and ends the public operation; afterwards start() and
// readRow() answer -1.
#pragma once

#include <array>
#include <cstdint>

#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_stream.h"
#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

class JpegDecoder {
 public:
  // fastPath: the 16-bit transform with dequantisation folded in (the program's
  // choice); otherwise the accurate integer transform.
  JpegDecoder(JpegInputStream* stream, bool fastPath);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  int32_t errorCode() const { return error_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t componentCount() const { return componentCount_; }
  // 1 (grey) or 4 (R, G, B, 0); valid after start().
  int32_t bytesPerPixel() const { return bytesPerPixel_; }

  // 0 when ready (or already started); -1 on failure.
  int start();
  // 0 with the next row (owned by the decoder, valid until the next call) and its
  // length in bytes; 1 when every row has been delivered; -1 before start() or after a
  // failure; -227 when this call failed.
  int readRow(const uint8_t*& row, int32_t& length);

 private:
  static constexpr int kFastBits = 10;
  static constexpr int kInputSize = 4096;
  static constexpr int kPushbackSize = 128;
  static constexpr int kMaxBlocksPerMcu = 10;
  static constexpr int kMaxBlocksPerRow = 6144;

  struct Failure {
    int32_t code;
  };

  struct RawHuffmanTable {
    uint8_t counts[17];
    uint8_t symbols[256];
  };

  struct DecodeTable {
    int32_t firstLevel[256];
    int32_t tree[512];
    uint8_t codeLength[256];
    // Next kFastBits bits -> (bits consumed << 8 | symbol), or -1 to walk the tree.
    int16_t fast[1 << kFastBits];
    // AC tables: when a code and its extra bits fit in kFastBits, the next kFastBits
    // bits -> (coefficient << 16 | run << 8 | bits consumed); otherwise 0.
    int32_t runAndValue[1 << kFastBits];
  };

  struct Component {
    int32_t id = 0;
    int32_t h = 0;
    int32_t v = 0;
    int32_t tq = 0;
    int32_t blocksWide = 0;
    int32_t blocksHigh = 0;
    int32_t dcSlot = 0;
    int32_t acSlot = 4;
    uint32_t predictor = 0;  // wraps like the 32-bit sum it is
    int16_t* dcPlane = nullptr;
    int16_t* coefficientPlane = nullptr;
    int32_t planeWide = 0;
    int32_t planeHigh = 0;
    int32_t planeBlockRow = 0;
    int32_t firstBlockInMcu = 0;  // where its blocks start within the layout's MCU
  };

  struct McuBlock {
    int32_t component;
    int32_t h;
    int32_t v;
    int32_t offset;  // block index within the MCU of the frame layout
    const DecodeTable* dcTable;
    const DecodeTable* acTable;
    const int16_t* quantisation;
  };

  [[noreturn]] void fail(int32_t code) { throw Failure{code}; }
  void recordFailure(int32_t code);
  uint8_t* allocate(size_t size);

  // Input bytes.
  void refillInput();
  uint8_t syntheticEoiByte();
  uint8_t nextByte();
  void pushBack(uint8_t byte);

  // Header reader.
  void primeHeaderReader();
  uint32_t headerBits(int count);
  uint32_t headerByte() { return headerBits(8); }
  uint32_t headerWord() { return headerBits(16); }
  void returnHeaderBytes();

  // Markers and segments.
  void findStartOfImage();
  int markerLoop();
  void parseHuffmanTables();
  void parseQuantisationTables();
  void parseFrameHeader();
  void parseScanHeader();
  void parseRestartInterval();

  // Frame and scan set-up.
  void setupFrame();
  void computeScanGeometry();
  void prepareScanTables();
  void buildDecodeTable(const RawHuffmanTable& raw, DecodeTable& table);
  void requireQuantisationTable(const Component& component) const;
  void beginScan();

  // Entropy decoding.
  uint8_t entropyByte();
  void fillBits();
  bool fillBitsQuickly(uint64_t& buffer, int32_t& count);
  int decodeSymbol(const DecodeTable& table);
  int decodeSymbolSlowly(const DecodeTable& table);
  uint32_t receiveBits(int count);
  int32_t receiveExtend(int size);
  void processRestart();
  void decodeSequentialRow();
  void decodeProgressiveScans();
  void decodeProgressiveScan();
  void decodeDcFirst(Component& component, int16_t* dc, const DecodeTable& table);
  void decodeAcFirst(int16_t* block, const DecodeTable& table);
  void decodeAcRefine(int16_t* block, const DecodeTable& table);
  void gatherProgressiveRow();

  // Samples and rows.
  void transformRow();
  const uint8_t* produceRow(int rowInMcu);

  JpegInputStream* stream_;
  bool fastPath_;
  int32_t error_ = 0;
  bool started_ = false;
  JpegBlockPool pool_;

  // Input: pushback area, then the buffer.
  std::array<uint8_t, kPushbackSize + kInputSize> input_{};
  int32_t readPosition_ = kPushbackSize;
  int32_t unread_ = 0;
  uint8_t atEnd_ = 0;
  bool syntheticToggle_ = false;

  // Header reader: the next bits, most significant first.
  uint32_t headerBuffer_ = 0;
  int32_t headerBitCount_ = 0;

  // Entropy reader: the next bits, most significant first.
  uint64_t bitBuffer_ = 0;
  int32_t bitCount_ = 0;
  bool atMarker_ = false;

  // Frame.
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool progressive_ = false;
  int32_t componentCount_ = 0;
  Component components_[4];

  // Tables.
  RawHuffmanTable* rawTables_[8] = {};
  DecodeTable* decodeTables_[8] = {};
  int16_t* quantisation_[4] = {};

  // Scan.
  int32_t scanCount_ = 0;
  int32_t scanComponents_[4] = {};
  int32_t ss_ = 0;
  int32_t se_ = 63;
  int32_t ah_ = 0;
  int32_t al_ = 0;
  int32_t eobRun_ = 0;
  int32_t scanMcusPerRow_ = 0;
  int32_t scanMcuRows_ = 0;
  int32_t scanBlocksPerMcu_ = 0;
  McuBlock mcuBlocks_[kMaxBlocksPerMcu] = {};

  // Geometry of the frame layout.
  int32_t layout_ = 0;
  int32_t mcuWidth_ = 8;
  int32_t mcuHeight_ = 8;
  int32_t mcusPerRow_ = 0;
  int32_t mcuRows_ = 0;
  int32_t blocksPerMcu_ = 0;
  int32_t blocksPerRow_ = 0;
  int32_t rowsRemaining_ = 0;
  int32_t rowsLeftInMcuRow_ = 0;
  int32_t bytesPerPixel_ = 0;
  int32_t rowLength_ = 0;

  // Restarts.
  int32_t restartInterval_ = 0;
  int32_t mcusToRestart_ = 0;
  int32_t nextRestart_ = 0;

  // Buffers of one MCU row.
  int16_t* coefficients_ = nullptr;  // 64 per block
  uint8_t* samples_ = nullptr;       // 64 per block
  int32_t lastIndex_[kMaxBlocksPerRow] = {};
  uint8_t* lineBuffers_[2] = {};
  int16_t scratch_[64] = {};
  JpegColourTables* colourTables_ = nullptr;
};

}  // namespace vz
