#include "converter/formats/jpeg/jpeg_progressive.h"

#include <algorithm>
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

// A correction bit for a coefficient that is already non-zero: it adds the bit of this
// scan's position to the magnitude.
void correct(JpegBitReader& bits, int16_t& coefficient, int16_t plusOne, int16_t minusOne) {
  if (bits.count() < 1) bits.fill();
  if (bits.bits(1) != 0 && (coefficient & plusOne) == 0)
    coefficient = truncate16(static_cast<uint32_t>(coefficient) +
                             static_cast<uint32_t>(coefficient >= 0 ? plusOne : minusOne));
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
    plane.nonZero = pool.take<uint64_t>(blocks);
  }
}

size_t JpegProgressiveDecoder::blockIndex(const Plane& plane, int column, int row) const {
  if (column >= plane.wide || row >= plane.high) failJpeg(JpegError::kBlockOutOfRange);
  return static_cast<size_t>(row) * plane.wide + column;
}

void JpegProgressiveDecoder::decodeScan(JpegBitReader& bits, JpegRestarts& restarts,
                                        JpegFrame& frame, const JpegScan& scan,
                                        const JpegScanLayout& layout) {
  if (++scans_ > kMaxScans) failJpeg(JpegError::kTooManyScans);
  if (scan.ss == 0 && scan.se != 0) failJpeg(JpegError::kBadProgression);
  if (scan.ss > 0 && scan.count != 1) failJpeg(JpegError::kBadProgression);
  if (scan.ss > scan.se || scan.se > 63) failJpeg(JpegError::kBadProgression);
  if (scan.ah != 0 && scan.al != scan.ah - 1) failJpeg(JpegError::kBadRefinement);
  eobRun_ = 0;

  const int64_t mcus = static_cast<int64_t>(layout.mcusPerRow) * layout.mcuRows;
  for (int64_t mcu = 0; mcu < mcus;) {
    if (restarts.due()) {
      takeRestartMarker(bits, restarts, frame);
      eobRun_ = 0;
    }
    const int mcuRow = static_cast<int>(mcu / layout.mcusPerRow);
    const int mcuColumn = static_cast<int>(mcu % layout.mcusPerRow);
    if (eobRun_ > 0) {
      // AC scans have one block per MCU. The blocks of an end-of-band run take no new
      // coefficients: a first scan skips them at once, a refinement visits only those
      // with non-zero coefficients in the band.
      int64_t run = std::min<int64_t>(eobRun_, mcus - mcu);
      if (restarts.interval != 0) run = std::min<int64_t>(run, restarts.mcusLeft);
      if (scan.ah != 0 && !refineRun(bits, scan, layout, mcu, run)) return;
      eobRun_ -= static_cast<int32_t>(run);
      restarts.mcusLeft -= static_cast<int32_t>(run);
      mcu += run;
      continue;
    }
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      JpegComponent& component = frame.components[mcuBlock.component];
      Plane& plane = planes_[mcuBlock.component];
      const int column = scan.count == 1 ? mcuColumn : mcuColumn * component.h + mcuBlock.h;
      const int row = scan.count == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
      const size_t index = blockIndex(plane, column, row);
      if (bits.count() < 32) bits.fill();
      // Past the data every bit is padding, which would only waste time on blocks that
      // the picture never described.
      if (bits.dataUsedUp()) return;
      if (scan.ss == 0) {
        ++coefficientSteps_;
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
    ++mcu;
  }
}

bool JpegProgressiveDecoder::refineRun(JpegBitReader& bits, const JpegScan& scan,
                                       const JpegScanLayout& layout, int64_t first, int64_t count) {
  Plane& plane = planes_[layout.blocks[0].component];
  const uint64_t band = (~0ULL >> (63 - scan.se)) & (~0ULL << scan.ss);
  const int64_t end = first + count;
  // Row by row, where the blocks lie side by side in the plane.
  for (int64_t position = first; position < end;) {
    const int row = static_cast<int>(position / layout.mcusPerRow);
    const int column = static_cast<int>(position % layout.mcusPerRow);
    const int blocks =
        static_cast<int>(std::min<int64_t>(end - position, layout.mcusPerRow - column));
    const size_t start = blockIndex(plane, column, row);
    blockIndex(plane, column + blocks - 1, row);  // the segment's last block is in range too
    for (size_t index = start; index < start + blocks; ++index) {
      if ((plane.nonZero[index] & band) == 0) continue;
      if (bits.count() < 32) bits.fill();
      if (bits.dataUsedUp()) return false;
      refineNonZero(bits, scan, plane, index, scan.ss);
    }
    position += blocks;
  }
  return true;
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
  int16_t* coefficients = plane.coefficients + 64 * block;
  uint64_t& nonZero = plane.nonZero[block];
  for (int k = scan.ss; k <= scan.se; ++k) {
    ++coefficientSteps_;
    if (bits.count() < 32) bits.fill();
    const int rs = bits.decode(table);
    const int run = rs >> 4;
    const int size = rs & 15;
    if (size != 0) {
      k += run;
      if (k > 63) failJpeg(JpegError::kCorruptData);
      const int16_t value = shiftedLeft16(bits.extended(size), scan.al);
      coefficients[kJpegZigZag[k]] = value;
      nonZero = value != 0 ? nonZero | 1ULL << k : nonZero & ~(1ULL << k);
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
  int k = scan.ss;
  for (; k <= scan.se; ++k) {
    ++coefficientSteps_;
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
      ++coefficientSteps_;
      int16_t& coefficient = coefficients[kJpegZigZag[k]];
      if (coefficient != 0) {
        correct(bits, coefficient, plusOne, minusOne);
      } else {
        if (run == 0) break;
        --run;
      }
      ++k;
    }
    if (newValue != 0 && k <= 63) {
      coefficients[kJpegZigZag[k]] = newValue;
      plane.nonZero[block] |= 1ULL << k;
    }
  }
  if (eobRun_ > 0) {
    // An end-of-band run starts in this block: the rest of its band takes corrections only.
    if (k <= scan.se) refineNonZero(bits, scan, plane, block, k);
    --eobRun_;
  }
}

void JpegProgressiveDecoder::refineNonZero(JpegBitReader& bits, const JpegScan& scan, Plane& plane,
                                           size_t block, int from) {
  int16_t* coefficients = plane.coefficients + 64 * block;
  const int16_t plusOne = shiftedLeft16(1, scan.al);
  const int16_t minusOne = shiftedLeft16(-1, scan.al);
  const uint64_t band = (~0ULL >> (63 - scan.se)) & (~0ULL << from);
  for (uint64_t pending = plane.nonZero[block] & band; pending != 0; pending &= pending - 1) {
    ++coefficientSteps_;
    correct(bits, coefficients[kJpegZigZag[__builtin_ctzll(pending)]], plusOne, minusOne);
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
      const int block = mcu * geometry.blocksPerMcu + mcuBlock.offset;
      int16_t* coefficients = row.coefficients + 64 * block;
      std::memcpy(coefficients, plane.coefficients + 64 * index, 64 * sizeof(int16_t));
      coefficients[0] = plane.dc[index];
      row.lastIndex[block] = plane.nonZero[index] == 0 ? 1 : 64;
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
