#include "converter/formats/jpeg/jpeg_sequential.h"

#include <cstring>

#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

namespace {

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
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

}  // namespace vz
