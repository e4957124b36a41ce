// The last stage: inverse transform of an MCU row, then pixel rows in the frame's
// layout: grey, or colour with each component's samples repeated over the pixels they
// cover. Pixel x takes sample x * H / Hmax (rounded down) of a component sampled H times
// where the most sampled one is sampled Hmax times, and rows likewise: plain repetition
// for whole ratios, the nearest sample to the left or above for the others.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_frame.h"
#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

class JpegRowOutput {
 public:
  void allocate(const JpegFrame& frame, const JpegMcuGeometry& geometry, JpegBlockPool& pool);
  // 1 (grey) or 4 (R, G, B, 0).
  int32_t bytesPerPixel() const { return layout_ == JpegLayout::kGrey ? 1 : 4; }

  // Samples of every block of the row. fastPath: the fast transform, whose tables carry
  // the quantisation; otherwise the accurate one on dequantised coefficients.
  void transformRow(const JpegCoefficientRow& row, const JpegScanLayout& layout, bool fastPath);
  // Pixel row 'rowInMcu' of the transformed MCU row; owned by the output, valid until
  // the next transformRow.
  const uint8_t* pixelRow(int rowInMcu);

 private:
  const uint8_t* colourRowOneByOne(int rowInMcu);
  const uint8_t* colourRowSideBySide(int rowInMcu);
  const uint8_t* colourRowPair(int rowInMcu);
  const uint8_t* generalRow(int rowInMcu);

  JpegLayout layout_ = JpegLayout::kGrey;
  JpegColourSpace colourSpace_ = JpegColourSpace::kGrey;
  int32_t width_ = 0;
  int32_t componentCount_ = 0;
  int32_t vMax_ = 1;
  // The general layout: per component its factors, first block in the MCU, and per
  // pixel the offset in samples_ of the sample it takes from the MCU row's first line.
  struct Sampling {
    int32_t h = 1;
    int32_t v = 1;
    int32_t firstBlock = 0;
    int32_t* columnOffsets = nullptr;
  };
  Sampling sampling_[4];
  int32_t mcusPerRow_ = 0;
  int32_t blocksPerMcu_ = 0;
  uint8_t* samples_ = nullptr;  // 64 per block
  // Two pixel rows: layouts with two luma blocks one above the other convert rows in
  // pairs, since each chroma row colours two of them.
  uint8_t* lines_[2] = {};
  JpegColourTables* colourTables_ = nullptr;
  int16_t scratch_[64] = {};
};

}  // namespace vz
