#include "converter/formats/jpeg/jpeg_sequential.h"

#include <cstring>

#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

namespace {

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// One block of a sequential scan into the store: the DC coefficient from its predictor,
// then the AC coefficients up to the end of the block, as decodeSequentialRow reads them.
void decodeBlock(JpegBitReader& bits, JpegComponent& component, const JpegMcuBlock& mcuBlock,
                 const JpegBlockRow& row, int column) {
  if (bits.count() < 32) bits.fill();
  const int dcBits = bits.decode(*mcuBlock.dcTable);
  if (dcBits > 16) failJpeg(JpegError::kCorruptData);
  component.predictor += static_cast<uint32_t>(bits.extended(dcBits));
  row.dc[column] = truncate16(component.predictor);

  int16_t* coefficients = row.coefficients + 64 * column;
  uint64_t nonZero = 0;
  const JpegHuffmanTable& acTable = *mcuBlock.acTable;
  int k = 1;
  while (k <= 63) {
    if (bits.count() < 32) bits.fill();
    const int rs = bits.decode(acTable);
    const int run = rs >> 4;
    const int acBits = rs & 15;
    if (acBits == 0) {
      if (run != 15) break;
      if (k + 15 > 63) failJpeg(JpegError::kCorruptData);
      k += 16;
      continue;
    }
    if (k + run > 63) failJpeg(JpegError::kCorruptData);
    k += run;
    coefficients[kJpegZigZag[k]] = static_cast<int16_t>(bits.extended(acBits));
    nonZero |= 1ULL << k;
    ++k;
  }
  row.nonZero[column] = nonZero;
}

}  // namespace

void takeRestartMarker(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame) {
  bits.restartAt(restarts.next);
  for (JpegComponent& component : frame.components) component.predictor = 0;
  restarts.mcusLeft = restarts.interval;
  restarts.next = (restarts.next + 1) & 7;
}

void decodeSequentialRow(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                         const JpegMcuGeometry& geometry, const JpegScanLayout& layout,
                         bool fastPath, JpegCoefficientRow& row) {
  constexpr int kLookahead = JpegHuffmanTable::kLookaheadBits;
  // The bit buffer lives in locals here, so that it can stay in registers; it goes
  // back to the reader around anything else that uses it.
  uint64_t buffer = bits.buffer();
  int32_t count = bits.count();
  const auto refill = [&] {
    if (count >= 32 || bits.fillQuickly(buffer, count)) return;
    bits.putBack(buffer, count);
    bits.fill();
    buffer = bits.buffer();
    count = bits.count();
  };
  const auto consume = [&](int used) {
    buffer <<= used;
    count -= used;
  };
  const auto decode = [&](const JpegHuffmanTable& table) {
    const int16_t entry = table.fast[buffer >> (64 - kLookahead)];
    if (entry >= 0) {
      consume(entry >> 8);
      return entry & 0xFF;
    }
    bits.putBack(buffer, count);
    const int symbol = bits.decodeLongCode(table);
    buffer = bits.buffer();
    count = bits.count();
    return symbol;
  };
  const auto receiveExtended = [&](int size) -> int32_t {
    if (size == 0) return 0;
    const int32_t value = static_cast<int32_t>(buffer >> (64 - size));
    consume(size);
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
  };

  for (int mcu = 0; mcu < layout.mcusPerRow; ++mcu) {
    if (restarts.due()) {
      bits.putBack(buffer, count);
      takeRestartMarker(bits, restarts, frame);
      buffer = bits.buffer();
      count = bits.count();
    }
    // Every MCU takes some bits: padding alone means the data has ended.
    refill();
    if (bits.dataUsedUp(count)) failJpeg(JpegError::kCorruptData);
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      const int block = mcu * geometry.blocksPerMcu + mcuBlock.offset;
      int16_t* coefficients = row.coefficients + 64 * block;
      const int16_t* q = mcuBlock.quantisation;
      JpegComponent& component = frame.components[mcuBlock.component];

      refill();
      const int dcBits = decode(*mcuBlock.dcTable);
      if (dcBits > 16) failJpeg(JpegError::kCorruptData);
      component.predictor += static_cast<uint32_t>(receiveExtended(dcBits));
      coefficients[0] = fastPath ? truncate16(component.predictor)
                                 : truncate16(component.predictor * static_cast<uint32_t>(q[0]));

      // Clear what the previous MCU row left; zero positions are not coded.
      const int previous = row.lastIndex[block];
      if (previous == 64) {
        std::memset(coefficients + 1, 0, 63 * sizeof(int16_t));
      } else {
        for (int k = 1; k < previous; ++k) coefficients[kJpegZigZag[k]] = 0;
      }

      const JpegHuffmanTable& acTable = *mcuBlock.acTable;
      int k = 1;
      while (k <= 63) {
        refill();
        int32_t value;
        const int32_t combined = acTable.runAndValue[buffer >> (64 - kLookahead)];
        if (combined != 0) {
          const int run = (combined >> 8) & 15;
          if (k + run > 63) failJpeg(JpegError::kCorruptData);
          k += run;
          consume(combined & 31);
          value = combined >> 16;
        } else {
          const int rs = decode(acTable);
          const int run = rs >> 4;
          const int acBits = rs & 15;
          if (acBits == 0) {
            if (run != 15) break;
            if (k + 15 > 63) failJpeg(JpegError::kCorruptData);
            k += 16;
            continue;
          }
          if (k + run > 63) failJpeg(JpegError::kCorruptData);
          k += run;
          value = receiveExtended(acBits);
        }
        coefficients[kJpegZigZag[k]] =
            fastPath ? static_cast<int16_t>(value)
                     : truncate16(static_cast<uint32_t>(value) * static_cast<uint32_t>(q[k]));
        ++k;
      }
      row.lastIndex[block] = k;
    }
    --restarts.mcusLeft;
  }
  bits.putBack(buffer, count);
}

bool decodeSequentialScan(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                          const JpegScan& scan, const JpegScanLayout& layout,
                          JpegCoefficientStore& store) {
  const int64_t mcus = static_cast<int64_t>(layout.mcusPerRow) * layout.mcuRows;
  // The block row each component's blocks went to last: scans move row by row.
  const JpegBlockRow* lastRows[4] = {};
  int lastRowIndices[4] = {-1, -1, -1, -1};
  for (int64_t mcu = 0; mcu < mcus; ++mcu) {
    if (restarts.due()) takeRestartMarker(bits, restarts, frame);
    const int mcuRow = static_cast<int>(mcu / layout.mcusPerRow);
    const int mcuColumn = static_cast<int>(mcu % layout.mcusPerRow);
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      JpegComponent& component = frame.components[mcuBlock.component];
      const int column = scan.count == 1 ? mcuColumn : mcuColumn * component.h + mcuBlock.h;
      const int row = scan.count == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
      store.checkColumn(mcuBlock.component, column);
      // Every block takes some bits: padding alone means the data has ended, and the
      // blocks after it would only take memory that the data never asked for.
      if (bits.count() < 32) bits.fill();
      if (bits.dataUsedUp()) return false;
      if (row != lastRowIndices[mcuBlock.component]) {
        lastRows[mcuBlock.component] = &store.row(mcuBlock.component, row);
        lastRowIndices[mcuBlock.component] = row;
      }
      decodeBlock(bits, component, mcuBlock, *lastRows[mcuBlock.component], column);
    }
    --restarts.mcusLeft;
  }
  return true;
}

}  // namespace vz
