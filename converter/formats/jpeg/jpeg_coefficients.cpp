#include "converter/formats/jpeg/jpeg_coefficients.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

namespace {

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

}  // namespace

void JpegCoefficientStore::setUp(const JpegFrame& frame, const JpegMcuGeometry& geometry) {
  height_ = frame.height;
  rowsReached_ = 0;
  for (int i = 0; i < frame.componentCount; ++i) {
    const JpegComponent& component = frame.components[i];
    Plane& plane = planes_[i];
    if (frame.componentCount == 1) {
      // One component: as many blocks as the picture needs, whatever its factors.
      plane.wide = (frame.width + 7) / 8;
      plane.high = (frame.height + 7) / 8;
      plane.v = plane.vMax = 1;
    } else {
      plane.wide = component.h * geometry.mcusPerRow;
      plane.high = component.v * geometry.mcuRows;
      plane.v = component.v;
      plane.vMax = geometry.vMax;
    }
    plane.rows.reset(new (std::nothrow) JpegBlockRow[plane.high]);
    plane.storage.reset(new (std::nothrow) std::unique_ptr<uint8_t[]>[plane.high]);
    if (!plane.rows || !plane.storage) failJpeg(JpegError::kOutOfMemory);
    plane.nextRow = 0;
  }
}

const JpegBlockRow& JpegCoefficientStore::makeRow(int component, int32_t blockRow) {
  Plane& plane = planes_[component];
  const size_t blocks = static_cast<size_t>(plane.wide);
  const size_t bytes = blocks * (sizeof(uint64_t) + 64 * sizeof(int16_t) + sizeof(int16_t));
  std::unique_ptr<uint8_t[]> storage(new (std::nothrow) uint8_t[bytes]());
  if (!storage) failJpeg(JpegError::kOutOfMemory);
  // The widest items first, so that each array is aligned for its type.
  JpegBlockRow& row = plane.rows[blockRow];
  row.nonZero = reinterpret_cast<uint64_t*>(storage.get());
  row.coefficients = reinterpret_cast<int16_t*>(row.nonZero + blocks);
  row.dc = row.coefficients + 64 * blocks;
  plane.storage[blockRow] = std::move(storage);
  const int64_t pixelRows = (static_cast<int64_t>(blockRow) + 1) * 8 * plane.vMax / plane.v;
  rowsReached_ =
      static_cast<int32_t>(std::max<int64_t>(rowsReached_, std::min<int64_t>(pixelRows, height_)));
  return row;
}

void JpegCoefficientStore::gatherRow(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                                     const JpegScanLayout& layout, bool fastPath,
                                     JpegCoefficientRow& row) {
  const bool single = frame.componentCount == 1;
  for (int i = 0; i < layout.blocksPerMcu; ++i) {
    const JpegMcuBlock& mcuBlock = layout.blocks[i];
    const JpegComponent& component = frame.components[mcuBlock.component];
    const Plane& plane = planes_[mcuBlock.component];
    const JpegBlockRow* blockRow =
        rowIfMade(mcuBlock.component, plane.nextRow + (single ? 0 : mcuBlock.v));
    for (int mcu = 0; mcu < geometry.mcusPerRow; ++mcu) {
      const int column = single ? mcu : mcu * component.h + mcuBlock.h;
      checkColumn(mcuBlock.component, column);
      const int block = mcu * geometry.blocksPerMcu + mcuBlock.offset;
      int16_t* coefficients = row.coefficients + 64 * block;
      if (blockRow == nullptr) {
        std::memset(coefficients, 0, 64 * sizeof(int16_t));
        row.lastIndex[block] = 1;
        continue;
      }
      std::memcpy(coefficients, blockRow->coefficients + 64 * column, 64 * sizeof(int16_t));
      coefficients[0] = blockRow->dc[column];
      row.lastIndex[block] = blockRow->nonZero[column] == 0 ? 1 : 64;
      if (fastPath) continue;
      const int16_t* q = mcuBlock.quantisation;
      int last = 63;
      while (last >= 0 && coefficients[kJpegZigZag[last]] == 0) --last;
      for (int k = last; k >= 0; --k) {
        int16_t& coefficient = coefficients[kJpegZigZag[k]];
        if (coefficient != 0)
          coefficient =
              truncate16(static_cast<uint32_t>(coefficient) * static_cast<uint32_t>(q[k]));
      }
    }
  }
  for (int i = 0; i < frame.componentCount; ++i)
    planes_[i].nextRow += single ? 1 : frame.components[i].v;
}

}  // namespace vz
