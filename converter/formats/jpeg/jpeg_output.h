// The last stage: inverse transform of an MCU row, then pixel rows in the frame's
// layout (grey, or colour with the chroma samples repeated over the luma they cover).
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_frame.h"
#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

class JpegRowOutput {
 public:
  void allocate(const JpegMcuGeometry& geometry, int32_t width, JpegBlockPool& pool);
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

  JpegLayout layout_ = JpegLayout::kGrey;
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
