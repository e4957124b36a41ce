#include "converter/formats/jpeg/jpeg_progressive.h"

#include <cstring>

#include "converter/formats/jpeg/jpeg_sequential.h"
#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

namespace {

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// value << shift, truncated to 16 bits (the value may be negative).
int16_t shiftedLeft16(int32_t value, int shift) {
  return truncate16(static_cast<uint32_t>(value) << shift);
}

}  // namespace

void JpegProgressiveDecoder::allocatePlanes(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                                            JpegBlockPool& pool) {
  for (int i = 0; i < frame.componentCount; ++i) {
    const JpegComponent& component = frame.components[i];
    Plane& plane = planes_[i];
    if (frame.componentCount == 1) {
      // One component: as many blocks as the picture needs, whatever its factors.
      plane.wide = (frame.width + 7) / 8;
      plane.high = (frame.height + 7) / 8;
    } else {
      plane.wide = component.h * geometry.mcusPerRow;
      plane.high = component.v * geometry.mcuRows;
    }
    const size_t blocks = static_cast<size_t>(plane.wide) * plane.high;
    plane.dc = pool.take<int16_t>(blocks);
    plane.coefficients = pool.take<int16_t>(blocks * 64);
  }
}

size_t JpegProgressiveDecoder::blockIndex(const Plane& plane, int column, int row) const {
  if (column >= plane.wide || row >= plane.high) failJpeg(JpegError::kBlockOutOfRange);
  return static_cast<size_t>(row) * plane.wide + column;
}

void JpegProgressiveDecoder::decodeScan(JpegBitReader& bits, JpegRestarts& restarts,
                                        JpegFrame& frame, const JpegScan& scan,
                                        const JpegScanLayout& layout) {
  if (scan.ss == 0 && scan.se != 0) failJpeg(JpegError::kBadProgression);
  if (scan.ss > 0 && scan.count != 1) failJpeg(JpegError::kBadProgression);
  if (scan.ss > scan.se || scan.se > 63) failJpeg(JpegError::kBadProgression);
  if (scan.ah != 0 && scan.al != scan.ah - 1) failJpeg(JpegError::kBadRefinement);
  eobRun_ = 0;

  for (int mcuRow = 0; mcuRow < layout.mcuRows; ++mcuRow) {
    for (int mcu = 0; mcu < layout.mcusPerRow; ++mcu) {
      if (restarts.due()) {
        takeRestartMarker(bits, restarts, frame);
        eobRun_ = 0;
      }
      for (int i = 0; i < layout.blocksPerMcu; ++i) {
        const JpegMcuBlock& mcuBlock = layout.blocks[i];
        JpegComponent& component = frame.components[mcuBlock.component];
        Plane& plane = planes_[mcuBlock.component];
        const int column = scan.count == 1 ? mcu : mcu * component.h + mcuBlock.h;
        const int row = scan.count == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
        const size_t index = blockIndex(plane, column, row);
        if (bits.count() < 32) bits.fill();
        if (scan.ss == 0) {
          int16_t* dc = plane.dc + index;
          if (scan.ah == 0) {
            decodeDcFirst(bits, component, dc, *mcuBlock.dcTable, scan.al);
          } else if (bits.bits(1) != 0) {
            *dc = static_cast<int16_t>(*dc | shiftedLeft16(1, scan.al));
          }
        } else if (scan.ah == 0) {
          decodeAcFirst(bits, scan, *mcuBlock.acTable, plane, index);
        } else {
          decodeAcRefine(bits, scan, *mcuBlock.acTable, plane, index);
        }
      }
      --restarts.mcusLeft;
    }
  }
}

void JpegProgressiveDecoder::decodeDcFirst(JpegBitReader& bits, JpegComponent& component,
                                           int16_t* dc, const JpegHuffmanTable& table, int al) {
  const int size = bits.decode(table);
  if (size > 16) failJpeg(JpegError::kCorruptData);
  component.predictor += static_cast<uint32_t>(bits.extended(size));
  *dc = truncate16(component.predictor << al);
}

void JpegProgressiveDecoder::decodeAcFirst(JpegBitReader& bits, const JpegScan& scan,
                                           const JpegHuffmanTable& table, Plane& plane,
                                           size_t block) {
  if (eobRun_ > 0) {
    --eobRun_;
    return;
  }
  int16_t* coefficients = plane.coefficients + 64 * block;
  for (int k = scan.ss; k <= scan.se; ++k) {
    if (bits.count() < 32) bits.fill();
    const int rs = bits.decode(table);
    const int run = rs >> 4;
    const int size = rs & 15;
    if (size != 0) {
      k += run;
      if (k > 63) failJpeg(JpegError::kCorruptData);
      coefficients[kJpegZigZag[k]] = shiftedLeft16(bits.extended(size), scan.al);
    } else if (run == 15) {
      k += 15;
      if (k > 63) failJpeg(JpegError::kCorruptData);
    } else {
      eobRun_ = (1 << run) + static_cast<int32_t>(bits.bits(run)) - 1;
      return;
    }
  }
}

void JpegProgressiveDecoder::decodeAcRefine(JpegBitReader& bits, const JpegScan& scan,
                                            const JpegHuffmanTable& table, Plane& plane,
                                            size_t block) {
  int16_t* coefficients = plane.coefficients + 64 * block;
  const int16_t plusOne = shiftedLeft16(1, scan.al);
  const int16_t minusOne = shiftedLeft16(-1, scan.al);
  // A correction bit for a coefficient that is already non-zero.
  const auto refine = [&](int16_t& coefficient) {
    if (bits.count() < 1) bits.fill();
    if (bits.bits(1) != 0 && (coefficient & plusOne) == 0)
      coefficient = truncate16(static_cast<uint32_t>(coefficient) +
                               static_cast<uint32_t>(coefficient >= 0 ? plusOne : minusOne));
  };
  int k = scan.ss;
  if (eobRun_ == 0) {
    for (; k <= scan.se; ++k) {
      if (bits.count() < 32) bits.fill();
      const int rs = bits.decode(table);
      int run = rs >> 4;
      const int size = rs & 15;
      int16_t newValue = 0;
      if (size != 0) {
        if (size != 1) failJpeg(JpegError::kCorruptData);
        newValue = bits.bits(1) != 0 ? plusOne : minusOne;
      } else if (run != 15) {
        eobRun_ = (1 << run) + static_cast<int32_t>(bits.bits(run));
        break;
      }
      // Skip 'run' zero coefficients, refining the non-zero ones passed on the way.
      while (k <= scan.se) {
        int16_t& coefficient = coefficients[kJpegZigZag[k]];
        if (coefficient != 0) {
          refine(coefficient);
        } else {
          if (run == 0) break;
          --run;
        }
        ++k;
      }
      if (newValue != 0 && k <= 63) coefficients[kJpegZigZag[k]] = newValue;
    }
  }
  if (eobRun_ > 0) {
    for (; k <= scan.se; ++k) {
      int16_t& coefficient = coefficients[kJpegZigZag[k]];
      if (coefficient != 0) refine(coefficient);
    }
    --eobRun_;
  }
}

void JpegProgressiveDecoder::gatherRow(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                                       const JpegScanLayout& layout, bool fastPath,
                                       JpegCoefficientRow& row) {
  const bool single = frame.componentCount == 1;
  for (int mcu = 0; mcu < geometry.mcusPerRow; ++mcu) {
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      const JpegComponent& component = frame.components[mcuBlock.component];
      const Plane& plane = planes_[mcuBlock.component];
      const int column = single ? mcu : mcu * component.h + mcuBlock.h;
      const size_t index = blockIndex(plane, column, plane.nextRow + (single ? 0 : mcuBlock.v));
      int16_t* coefficients =
          row.coefficients + 64 * (mcu * geometry.blocksPerMcu + mcuBlock.offset);
      std::memcpy(coefficients, plane.coefficients + 64 * index, 64 * sizeof(int16_t));
      coefficients[0] = plane.dc[index];
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
