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

void JpegProgressiveDecoder::checkScan(const JpegScan& scan) {
  if (++scans_ > kMaxScans) failJpeg(JpegError::kTooManyScans);
  if (scan.ss == 0 && scan.se != 0) failJpeg(JpegError::kBadProgression);
  if (scan.ss > 0 && scan.count != 1) failJpeg(JpegError::kBadProgression);
  if (scan.ss > scan.se || scan.se > 63) failJpeg(JpegError::kBadProgression);
  if (scan.ah != 0 && scan.al != scan.ah - 1) failJpeg(JpegError::kBadRefinement);
}

bool JpegProgressiveDecoder::decodeScan(JpegBitReader& bits, JpegRestarts& restarts,
                                        JpegFrame& frame, const JpegScan& scan,
                                        const JpegScanLayout& layout, JpegCoefficientStore& store) {
  eobRun_ = 0;
  const int64_t mcus = static_cast<int64_t>(layout.mcusPerRow) * layout.mcuRows;
  // The block row each component's blocks went to last: scans move row by row.
  const JpegBlockRow* lastRows[4] = {};
  int lastRowIndices[4] = {-1, -1, -1, -1};
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
      if (scan.ah != 0 && !refineRun(bits, scan, layout, store, mcu, run)) return false;
      eobRun_ -= static_cast<int32_t>(run);
      restarts.mcusLeft -= static_cast<int32_t>(run);
      mcu += run;
      continue;
    }
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      JpegComponent& component = frame.components[mcuBlock.component];
      const int column = scan.count == 1 ? mcuColumn : mcuColumn * component.h + mcuBlock.h;
      const int row = scan.count == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
      store.checkColumn(mcuBlock.component, column);
      if (bits.count() < 32) bits.fill();
      // Past the data every bit is padding, which would only waste time on blocks that
      // the picture never described.
      if (bits.dataUsedUp()) return false;
      if (row != lastRowIndices[mcuBlock.component]) {
        lastRows[mcuBlock.component] = &store.row(mcuBlock.component, row);
        lastRowIndices[mcuBlock.component] = row;
      }
      const JpegBlockRow& blockRow = *lastRows[mcuBlock.component];
      if (scan.ss == 0) {
        ++coefficientSteps_;
        int16_t* dc = blockRow.dc + column;
        if (scan.ah == 0) {
          decodeDcFirst(bits, component, dc, *mcuBlock.dcTable, scan.al);
        } else if (bits.bits(1) != 0) {
          *dc = static_cast<int16_t>(*dc | shiftedLeft16(1, scan.al));
        }
      } else if (scan.ah == 0) {
        decodeAcFirst(bits, scan, *mcuBlock.acTable, blockRow, column);
      } else {
        decodeAcRefine(bits, scan, *mcuBlock.acTable, blockRow, column);
      }
    }
    --restarts.mcusLeft;
    ++mcu;
  }
  return true;
}

bool JpegProgressiveDecoder::refineRun(JpegBitReader& bits, const JpegScan& scan,
                                       const JpegScanLayout& layout, JpegCoefficientStore& store,
                                       int64_t first, int64_t count) {
  const int component = layout.blocks[0].component;
  const uint64_t band = (~0ULL >> (63 - scan.se)) & (~0ULL << scan.ss);
  const int64_t end = first + count;
  // Row by row, where the blocks lie side by side in the plane.
  for (int64_t position = first; position < end;) {
    const int row = static_cast<int>(position / layout.mcusPerRow);
    const int column = static_cast<int>(position % layout.mcusPerRow);
    const int blocks =
        static_cast<int>(std::min<int64_t>(end - position, layout.mcusPerRow - column));
    store.checkColumn(component, column);
    store.checkColumn(component, column + blocks - 1);  // the segment's last block too
    position += blocks;
    // Blocks of a row no scan has made are zero: nothing to correct.
    const JpegBlockRow* blockRow = store.rowIfMade(component, row);
    if (blockRow == nullptr) continue;
    for (int index = column; index < column + blocks; ++index) {
      if ((blockRow->nonZero[index] & band) == 0) continue;
      if (bits.count() < 32) bits.fill();
      if (bits.dataUsedUp()) return false;
      refineNonZero(bits, scan, *blockRow, index, scan.ss);
    }
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
                                           const JpegHuffmanTable& table, const JpegBlockRow& row,
                                           int column) {
  int16_t* coefficients = row.coefficients + 64 * column;
  uint64_t& nonZero = row.nonZero[column];
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
                                            const JpegHuffmanTable& table, const JpegBlockRow& row,
                                            int column) {
  int16_t* coefficients = row.coefficients + 64 * column;
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
      row.nonZero[column] |= 1ULL << k;
    }
  }
  if (eobRun_ > 0) {
    // An end-of-band run starts in this block: the rest of its band takes corrections only.
    if (k <= scan.se) refineNonZero(bits, scan, row, column, k);
    --eobRun_;
  }
}

void JpegProgressiveDecoder::refineNonZero(JpegBitReader& bits, const JpegScan& scan,
                                           const JpegBlockRow& row, int column, int from) {
  int16_t* coefficients = row.coefficients + 64 * column;
  const int16_t plusOne = shiftedLeft16(1, scan.al);
  const int16_t minusOne = shiftedLeft16(-1, scan.al);
  const uint64_t band = (~0ULL >> (63 - scan.se)) & (~0ULL << from);
  for (uint64_t pending = row.nonZero[column] & band; pending != 0; pending &= pending - 1) {
    ++coefficientSteps_;
    correct(bits, coefficients[kJpegZigZag[__builtin_ctzll(pending)]], plusOne, minusOne);
  }
}

}  // namespace vz
