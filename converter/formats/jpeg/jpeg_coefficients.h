// The coefficients of the whole picture, for pictures whose scans each bring only part of
// them (progressive ones): a plane of blocks per component, kept by block rows that are
// made when a scan first writes to them, so that the memory grows with the blocks the
// data reaches rather than with the size the header claims. A row not made holds zeros.
#pragma once

#include <cstdint>
#include <memory>

#include "converter/formats/jpeg/jpeg_frame.h"

namespace vz {

// One block row of a plane: per block the DC coefficient, the other 63 (64 places,
// natural order, DC unused), and bit k set when zig-zag position k is not zero.
struct JpegBlockRow {
  int16_t* dc = nullptr;
  int16_t* coefficients = nullptr;
  uint64_t* nonZero = nullptr;
};

class JpegCoefficientStore {
 public:
  // Sizes the planes; no block row is made yet.
  void setUp(const JpegFrame& frame, const JpegMcuGeometry& geometry);

  int32_t wide(int component) const { return planes_[component].wide; }
  int32_t high(int component) const { return planes_[component].high; }
  // The block row, made zeroed when needed; fails with kBlockOutOfRange beyond the plane
  // and kOutOfMemory when it cannot be had.
  const JpegBlockRow& row(int component, int32_t blockRow) {
    Plane& plane = planes_[component];
    if (blockRow < 0 || blockRow >= plane.high) failJpeg(JpegError::kBlockOutOfRange);
    JpegBlockRow& made = plane.rows[blockRow];
    return made.dc != nullptr ? made : makeRow(component, blockRow);
  }
  // The block row when a scan has made it, otherwise null (its blocks are zero).
  const JpegBlockRow* rowIfMade(int component, int32_t blockRow) const {
    const Plane& plane = planes_[component];
    if (blockRow < 0 || blockRow >= plane.high) failJpeg(JpegError::kBlockOutOfRange);
    return plane.rows[blockRow].dc != nullptr ? &plane.rows[blockRow] : nullptr;
  }
  // Fails with kBlockOutOfRange unless the column lies in the component's plane.
  void checkColumn(int component, int32_t column) const {
    if (column < 0 || column >= planes_[component].wide) failJpeg(JpegError::kBlockOutOfRange);
  }

  // Pixel rows from the top that some made block row lies in or above.
  int32_t rowsReached() const { return rowsReached_; }

  // The next MCU row of the frame layout into 'row'; dequantised unless fastPath.
  void gatherRow(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                 const JpegScanLayout& layout, bool fastPath, JpegCoefficientRow& row);

 private:
  struct Plane {
    int32_t wide = 0;  // blocks
    int32_t high = 0;
    int32_t v = 1;  // the component's vertical factor and the frame's largest, or 1 and 1
    int32_t vMax = 1;
    std::unique_ptr<JpegBlockRow[]> rows;
    std::unique_ptr<std::unique_ptr<uint8_t[]>[]> storage;  // what each made row points into
    int32_t nextRow = 0;                                    // block row gatherRow reads next
  };

  const JpegBlockRow& makeRow(int component, int32_t blockRow);

  Plane planes_[4];
  int32_t height_ = 0;
  int32_t rowsReached_ = 0;
};

}  // namespace vz
