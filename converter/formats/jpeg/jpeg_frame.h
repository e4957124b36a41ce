// What the headers say about the picture, its scans and their tables, and the block
// geometry that follows from it.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_huffman.h"

namespace vz {

// What the components hold, from the Adobe and JFIF markers and the component count.
enum class JpegColourSpace : int32_t {
  kGrey,
  kYCbCr,
  kRgb,
  kCmyk,  // stored inverted, as Adobe writes it: 255 is no ink
  kYcck,  // inverted C, M, Y coded as YCbCr, then K
};

// How the decoder turns an MCU row into pixels. The YCbCr names give the chroma sampling
// of the common layouts, which have their own fast paths: luma blocks come first in the
// MCU, then one Cb and one Cr block.
enum class JpegLayout : int32_t {
  kGrey,  // one block of one component
  kYCbCr444,
  kYCbCr422,  // two luma blocks side by side
  kYCbCr440,  // two luma blocks one above the other
  kYCbCr420,  // four luma blocks
  kGeneral,   // any other factors or colour space
};

struct JpegComponent {
  int32_t id = 0;
  int32_t h = 0;  // sampling factors
  int32_t v = 0;
  int32_t tq = 0;  // quantisation table
  int32_t dcSlot = 0;
  int32_t acSlot = 4;
  uint32_t predictor = 0;  // DC; wraps like the 32-bit sum it is
  int32_t blocksWide = 0;  // blocks the component's samples cover
  int32_t blocksHigh = 0;
  int32_t firstBlockInMcu = 0;  // where its blocks start within the layout's MCU
};

struct JpegFrame {
  int32_t width = 0;
  int32_t height = 0;
  bool progressive = false;
  bool arithmetic = false;
  JpegColourSpace colourSpace = JpegColourSpace::kGrey;
  int32_t componentCount = 0;
  JpegComponent components[4];
};

// The MCU of the frame layout, in which rows are produced: every block of every
// component, Hmax x Vmax blocks of pixels.
struct JpegMcuGeometry {
  // Sizes the MCU rows from the sampling factors; fails for factors outside 1..4 (any
  // but 0 for one component) and for 2 components.
  void setUp(JpegFrame& frame);
  // Once the colour space is known: the layout.
  void chooseLayout(const JpegFrame& frame);

  JpegLayout layout = JpegLayout::kGrey;
  int32_t hMax = 1;
  int32_t vMax = 1;
  int32_t mcuWidth = 8;
  int32_t mcuHeight = 8;
  int32_t mcusPerRow = 0;
  int32_t mcuRows = 0;
  int32_t blocksPerMcu = 0;
};

// Huffman slots 0..3 hold DC tables, 4..7 AC tables. Arithmetic coding has
// conditioning tables in the same slots instead, with the standard's defaults until a
// DAC segment sets them.
struct JpegTables {
  JpegHuffmanCodes* codes[8] = {};
  bool changed[8] = {};  // codes arrived since the table was last built
  JpegHuffmanTable* huffman[8] = {};
  int16_t* quantisation[4] = {};  // already scaled for the fast transform when it is used
  int32_t restartInterval = 0;
  // L and U: DC differences of magnitude up to 2^(L-1) fall in the zero class (none when L
  // is 0), those above 2^U in the large ones; Kx: AC positions up to it use the first
  // magnitude bins.
  uint8_t dcLower[4] = {0, 0, 0, 0};
  uint8_t dcUpper[4] = {1, 1, 1, 1};
  uint8_t acSplit[4] = {5, 5, 5, 5};
};

struct JpegScan {
  int32_t count = 0;
  int32_t components[4] = {};  // indices into the frame's components
  int32_t ss = 0;
  int32_t se = 63;
  int32_t ah = 0;
  int32_t al = 0;
};

struct JpegMcuBlock {
  int32_t component;
  int32_t h;  // position among the component's blocks in the MCU
  int32_t v;
  int32_t offset;  // block index within the MCU of the frame layout
  const JpegHuffmanTable* dcTable;
  const JpegHuffmanTable* acTable;
  const int16_t* quantisation;
};

// The MCUs of one scan: one block each when the scan has one component, otherwise
// every block of each named component. Also the MCU of the frame layout, every block of
// every component, in which the rows of a picture decoded into the store are gathered.
struct JpegScanLayout {
  // The most blocks in the MCU of a scan of several components.
  static constexpr int kMaxBlocksPerMcu = 10;
  // The most in the frame layout: four components sampled 4 x 4, which a picture may
  // have when each component has scans of its own.
  static constexpr int kMaxBlocksPerFrameMcu = 64;

  void setUp(const JpegFrame& frame, const JpegMcuGeometry& geometry, const JpegScan& scan);
  // The frame layout.
  void setUpFrame(const JpegFrame& frame, const JpegMcuGeometry& geometry);
  // Builds the Huffman tables whose codes changed and points the blocks at their
  // tables; fails when the scan needs one that is missing.
  void attachTables(const JpegFrame& frame, const JpegScan& scan, JpegTables& tables,
                    JpegBlockPool& pool);
  // Points the blocks at their quantisation tables; fails when one is missing.
  void attachQuantisation(const JpegFrame& frame, const JpegScan& scan, const JpegTables& tables);

  int32_t mcusPerRow = 0;
  int32_t mcuRows = 0;
  int32_t blocksPerMcu = 0;
  JpegMcuBlock blocks[kMaxBlocksPerFrameMcu] = {};

 private:
  // Every block of each of the scan's components, when they take at most 'maxBlocks'.
  void interleave(const JpegFrame& frame, const JpegMcuGeometry& geometry, const JpegScan& scan,
                  int32_t maxBlocks);
};

// Where the restart markers fall in the scan being decoded.
struct JpegRestarts {
  bool due() const { return interval != 0 && mcusLeft == 0; }
  void begin(int32_t restartInterval) {
    interval = restartInterval;
    mcusLeft = restartInterval;
    next = 0;
  }

  int32_t interval = 0;  // MCUs between markers; 0: none
  int32_t mcusLeft = 0;  // before the next marker
  int32_t next = 0;      // n of the RSTn marker expected next
};

// The coefficients of one MCU row of the frame layout, 64 per block in natural order.
struct JpegCoefficientRow {
  int16_t* coefficients = nullptr;
  // Per block: 1 when it holds only a DC coefficient. Sequential scans keep one past the
  // last zig-zag position each block coded, to clear only those in the next row.
  int32_t* lastIndex = nullptr;
};

}  // namespace vz
