#include "converter/formats/jpeg/jpeg_arithmetic.h"

#include <cstring>

#include "converter/formats/jpeg/jpeg_bit_reader.h"
#include "converter/formats/jpeg/jpeg_sequential.h"
#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {

namespace {

// The probability estimates: the size of the less probable symbol's interval, the next
// estimate after each symbol, and whether a less probable symbol swaps the two.
struct Estimate {
  uint16_t qe;
  uint8_t nextLps;
  uint8_t nextMps;
  bool swap;
};

constexpr Estimate kEstimates[] = {
    {0x5A1D, 1, 1, true},
    {0x2586, 14, 2, false},
    {0x1114, 16, 3, false},
    {0x080B, 18, 4, false},
    {0x03D8, 20, 5, false},
    {0x01DA, 23, 6, false},
    {0x00E5, 25, 7, false},
    {0x006F, 28, 8, false},
    {0x0036, 30, 9, false},
    {0x001A, 33, 10, false},
    {0x000D, 35, 11, false},
    {0x0006, 9, 12, false},
    {0x0003, 10, 13, false},
    {0x0001, 12, 13, false},
    {0x5A7F, 15, 15, true},
    {0x3F25, 36, 16, false},
    {0x2CF2, 38, 17, false},
    {0x207C, 39, 18, false},
    {0x17B9, 40, 19, false},
    {0x1182, 42, 20, false},
    {0x0CEF, 43, 21, false},
    {0x09A1, 45, 22, false},
    {0x072F, 46, 23, false},
    {0x055C, 48, 24, false},
    {0x0406, 49, 25, false},
    {0x0303, 51, 26, false},
    {0x0240, 52, 27, false},
    {0x01B1, 54, 28, false},
    {0x0144, 56, 29, false},
    {0x00F5, 57, 30, false},
    {0x00B7, 59, 31, false},
    {0x008A, 60, 32, false},
    {0x0068, 62, 33, false},
    {0x004E, 63, 34, false},
    {0x003B, 32, 35, false},
    {0x002C, 33, 9, false},
    {0x5AE1, 37, 37, true},
    {0x484C, 64, 38, false},
    {0x3A0D, 65, 39, false},
    {0x2EF1, 67, 40, false},
    {0x261F, 68, 41, false},
    {0x1F33, 69, 42, false},
    {0x19A8, 70, 43, false},
    {0x1518, 72, 44, false},
    {0x1177, 73, 45, false},
    {0x0E74, 74, 46, false},
    {0x0BFB, 75, 47, false},
    {0x09F8, 77, 48, false},
    {0x0861, 78, 49, false},
    {0x0706, 79, 50, false},
    {0x05CD, 48, 51, false},
    {0x04DE, 50, 52, false},
    {0x040F, 50, 53, false},
    {0x0363, 51, 54, false},
    {0x02D4, 52, 55, false},
    {0x025C, 53, 56, false},
    {0x01F8, 54, 57, false},
    {0x01A4, 55, 58, false},
    {0x0160, 56, 59, false},
    {0x0125, 57, 60, false},
    {0x00F6, 58, 61, false},
    {0x00CB, 59, 62, false},
    {0x00AB, 61, 63, false},
    {0x008F, 61, 32, false},
    {0x5B12, 65, 65, true},
    {0x4D04, 80, 66, false},
    {0x412C, 81, 67, false},
    {0x37D8, 82, 68, false},
    {0x2FE8, 83, 69, false},
    {0x293C, 84, 70, false},
    {0x2379, 86, 71, false},
    {0x1EDF, 87, 72, false},
    {0x1AA9, 87, 73, false},
    {0x174E, 72, 74, false},
    {0x1424, 72, 75, false},
    {0x119C, 74, 76, false},
    {0x0F6B, 74, 77, false},
    {0x0D51, 75, 78, false},
    {0x0BB6, 77, 79, false},
    {0x0A40, 77, 48, false},
    {0x5832, 80, 81, true},
    {0x4D1C, 88, 82, false},
    {0x438E, 89, 83, false},
    {0x3BDD, 90, 84, false},
    {0x34EE, 91, 85, false},
    {0x2EAE, 92, 86, false},
    {0x299A, 93, 87, false},
    {0x2516, 86, 71, false},
    {0x5570, 88, 89, true},
    {0x4CA9, 95, 90, false},
    {0x44D9, 96, 91, false},
    {0x3E22, 97, 92, false},
    {0x3824, 99, 93, false},
    {0x32B4, 99, 94, false},
    {0x2E17, 93, 86, false},
    {0x56A8, 95, 96, true},
    {0x4F46, 101, 97, false},
    {0x47E5, 102, 98, false},
    {0x41CF, 103, 99, false},
    {0x3C3D, 104, 100, false},
    {0x375E, 99, 93, false},
    {0x5231, 105, 102, false},
    {0x4C0F, 106, 103, false},
    {0x4639, 107, 104, false},
    {0x415E, 103, 99, false},
    {0x5627, 105, 106, true},
    {0x50E7, 108, 107, false},
    {0x4B85, 109, 103, false},
    {0x5597, 110, 109, false},
    {0x504F, 111, 107, false},
    {0x5A10, 110, 111, true},
    {0x5522, 112, 109, false},
    {0x59EB, 112, 111, true},
    // Not adapted: the fixed estimate of one half for signs and correction bits.
    {0x5A1D, 113, 113, false},
};
constexpr uint8_t kHalfEstimate = 113;
static_assert(sizeof kEstimates / sizeof kEstimates[0] == kHalfEstimate + 1, "estimate table");

// Where the models' bins start: Table F.4 (DC) and F.5 (AC) of the standard.
constexpr int kDcMagnitudeBins = 20;
constexpr int kAcLowMagnitudeBins = 189;
constexpr int kAcHighMagnitudeBins = 217;
constexpr int kMagnitudeBitsOffset = 14;  // from a category's bin to its bits' bin

int16_t truncate16(uint32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

}  // namespace

void JpegArithmeticDecoder::begin(JpegFrame& frame) {
  std::memset(dcBins_, 0, sizeof dcBins_);
  std::memset(acBins_, 0, sizeof acBins_);
  for (int i = 0; i < 4; ++i) {
    dcContext_[i] = 0;
    frame.components[i].predictor = 0;
  }
  atMarker_ = false;
  loadRegisters();
}

// Two bytes into the code register; the interval is 1 (0x10000).
void JpegArithmeticDecoder::loadRegisters() {
  c_ = 0;
  byteIn();
  c_ <<= 8;
  byteIn();
  c_ <<= 8;
  ct_ = 0;
  a_ = 0x10000;
}

void JpegArithmeticDecoder::byteIn() {
  if (atMarker_) return;
  bool pastEnd = false;
  uint8_t byte = input_.nextByte(pastEnd);
  if (pastEnd) {
    cutShort_ = true;
    atMarker_ = true;
    return;
  }
  if (byte == 0xFF) {
    const uint8_t next = input_.nextByte();
    if (next != 0) {
      input_.pushBack(next);
      input_.pushBack(0xFF);
      atMarker_ = true;
      return;
    }
  }
  c_ += static_cast<uint32_t>(byte) << 8;
}

int JpegArithmeticDecoder::decode(Bin& bin) {
  const Estimate& estimate = kEstimates[bin & 0x7F];
  const int mps = bin >> 7;
  int symbol;
  bool lpsPath;
  a_ -= estimate.qe;
  if ((c_ >> 16) < a_) {
    if (a_ >= 0x8000) return mps;
    // The interval became small: the symbol with the smaller part is the less probable.
    lpsPath = a_ < estimate.qe;
  } else {
    c_ -= a_ << 16;
    lpsPath = a_ >= estimate.qe;
    a_ = estimate.qe;
  }
  if (lpsPath) {
    symbol = 1 - mps;
    bin = static_cast<Bin>(estimate.nextLps | ((estimate.swap ? 1 - mps : mps) << 7));
  } else {
    symbol = mps;
    bin = static_cast<Bin>(estimate.nextMps | (mps << 7));
  }
  do {
    if (ct_ == 0) {
      byteIn();
      ct_ = 8;
    }
    a_ <<= 1;
    c_ <<= 1;
    --ct_;
  } while (a_ < 0x8000);
  return symbol;
}

int JpegArithmeticDecoder::decodeHalf() {
  Bin bin = kHalfEstimate;
  return decode(bin);
}

void JpegArithmeticDecoder::restart(JpegRestarts& restarts, JpegFrame& frame) {
  skipToRestartMarker(input_, restarts.next);
  restarts.mcusLeft = restarts.interval;
  restarts.next = (restarts.next + 1) & 7;
  begin(frame);
}

bool JpegArithmeticDecoder::beginMcu(JpegRestarts& restarts, JpegFrame& frame) {
  if (restarts.due()) restart(restarts, frame);
  return !cutShort_;
}

int32_t JpegArithmeticDecoder::decodeDcDifference(int component, int table,
                                                  const JpegTables& tables) {
  Bin* bins = dcBins_[table];
  Bin* bin = bins + dcContext_[component];
  if (decode(bin[0]) == 0) {
    dcContext_[component] = 0;
    return 0;
  }
  const int sign = decode(bin[1]);
  bin += 2 + sign;
  int32_t magnitude = decode(*bin);
  if (magnitude != 0) {
    bin = bins + kDcMagnitudeBins;
    while (decode(*bin) != 0) {
      magnitude <<= 1;
      if (magnitude == 0x8000) failJpeg(JpegError::kCorruptData);
      ++bin;
    }
  }
  // The size of this difference chooses the bins of the next one.
  if (magnitude < (1 << tables.dcLower[table]) >> 1) {
    dcContext_[component] = 0;
  } else if (magnitude > (1 << tables.dcUpper[table]) >> 1) {
    dcContext_[component] = 12 + 4 * sign;
  } else {
    dcContext_[component] = 4 + 4 * sign;
  }
  int32_t value = magnitude;
  bin += kMagnitudeBitsOffset;
  while ((magnitude >>= 1) != 0)
    if (decode(*bin) != 0) value |= magnitude;
  value += 1;
  return sign != 0 ? -value : value;
}

template <typename Store>
int JpegArithmeticDecoder::decodeAcFirst(int table, int ss, int se, const JpegTables& tables,
                                         Store store) {
  Bin* bins = acBins_[table];
  int k = ss;
  for (; k <= se; ++k) {
    Bin* bin = bins + 3 * (k - 1);
    if (decode(bin[0]) != 0) break;  // end of block
    while (decode(bin[1]) == 0) {    // a zero coefficient
      bin += 3;
      if (++k > se) failJpeg(JpegError::kCorruptData);
    }
    const int sign = decodeHalf();
    bin += 2;
    int32_t magnitude = decode(*bin);
    if (magnitude != 0 && decode(*bin) != 0) {
      magnitude <<= 1;
      bin = bins + (k <= tables.acSplit[table] ? kAcLowMagnitudeBins : kAcHighMagnitudeBins);
      while (decode(*bin) != 0) {
        magnitude <<= 1;
        if (magnitude == 0x8000) failJpeg(JpegError::kCorruptData);
        ++bin;
      }
    }
    int32_t value = magnitude;
    bin += kMagnitudeBitsOffset;
    while ((magnitude >>= 1) != 0)
      if (decode(*bin) != 0) value |= magnitude;
    value += 1;
    store(k, sign != 0 ? -value : value);
  }
  return k;
}

void JpegArithmeticDecoder::decodeAcRefine(int table, const JpegScan& scan, int16_t* coefficients,
                                           uint64_t& nonZero) {
  Bin* bins = acBins_[table];
  const int16_t plusOne = truncate16(1u << scan.al);
  const int16_t minusOne = truncate16(~0u << scan.al);
  // Past the last position the earlier scans made non-zero, an end of block may come.
  const uint64_t earlier = nonZero & (~0ULL >> (63 - scan.se));
  const int lastEarlier = earlier == 0 ? 0 : 63 - __builtin_clzll(earlier);
  for (int k = scan.ss; k <= scan.se; ++k) {
    Bin* bin = bins + 3 * (k - 1);
    if (k > lastEarlier && decode(bin[0]) != 0) break;
    for (;;) {
      int16_t& coefficient = coefficients[kJpegZigZag[k]];
      if (coefficient != 0) {
        if (decode(bin[2]) != 0)
          coefficient = truncate16(static_cast<uint32_t>(coefficient) +
                                   static_cast<uint32_t>(coefficient < 0 ? minusOne : plusOne));
        break;
      }
      if (decode(bin[1]) != 0) {
        coefficient = decodeHalf() != 0 ? minusOne : plusOne;
        nonZero |= 1ULL << k;
        break;
      }
      bin += 3;
      if (++k > scan.se) failJpeg(JpegError::kCorruptData);
    }
  }
}

void JpegArithmeticDecoder::decodeSequentialRow(JpegRestarts& restarts, JpegFrame& frame,
                                                const JpegMcuGeometry& geometry,
                                                const JpegScanLayout& layout,
                                                const JpegTables& tables, bool fastPath,
                                                JpegCoefficientRow& row) {
  for (int mcu = 0; mcu < layout.mcusPerRow; ++mcu) {
    if (!beginMcu(restarts, frame)) failJpeg(JpegError::kCorruptData);
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      const int block = mcu * geometry.blocksPerMcu + mcuBlock.offset;
      int16_t* coefficients = row.coefficients + 64 * block;
      const int16_t* q = mcuBlock.quantisation;
      JpegComponent& component = frame.components[mcuBlock.component];

      component.predictor +=
          static_cast<uint32_t>(decodeDcDifference(mcuBlock.component, component.dcSlot, tables));
      coefficients[0] = fastPath ? truncate16(component.predictor)
                                 : truncate16(component.predictor * static_cast<uint32_t>(q[0]));
      // Clear what the previous MCU row left; zero positions are not coded.
      for (int k = 1; k < row.lastIndex[block]; ++k) coefficients[kJpegZigZag[k]] = 0;
      row.lastIndex[block] =
          decodeAcFirst(component.acSlot - 4, 1, 63, tables, [&](int k, int32_t value) {
            coefficients[kJpegZigZag[k]] =
                fastPath ? truncate16(static_cast<uint32_t>(value))
                         : truncate16(static_cast<uint32_t>(value) * static_cast<uint32_t>(q[k]));
          });
    }
    --restarts.mcusLeft;
  }
}

bool JpegArithmeticDecoder::decodeSequentialScan(JpegRestarts& restarts, JpegFrame& frame,
                                                 const JpegScan& scan, const JpegScanLayout& layout,
                                                 const JpegTables& tables,
                                                 JpegCoefficientStore& store) {
  const int64_t mcus = static_cast<int64_t>(layout.mcusPerRow) * layout.mcuRows;
  for (int64_t mcu = 0; mcu < mcus; ++mcu) {
    if (!beginMcu(restarts, frame)) return false;
    const int mcuRow = static_cast<int>(mcu / layout.mcusPerRow);
    const int mcuColumn = static_cast<int>(mcu % layout.mcusPerRow);
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      const int c = mcuBlock.component;
      JpegComponent& component = frame.components[c];
      const int column = scan.count == 1 ? mcuColumn : mcuColumn * component.h + mcuBlock.h;
      const int blockRow = scan.count == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
      store.checkColumn(c, column);
      // As in progressive scans, rows are made only for values other than zero.
      const JpegBlockRow* made = store.rowIfMade(c, blockRow);
      component.predictor += static_cast<uint32_t>(decodeDcDifference(c, component.dcSlot, tables));
      const int16_t dc = truncate16(component.predictor);
      if (dc != 0) made = &store.row(c, blockRow);
      if (made != nullptr) made->dc[column] = dc;
      decodeAcFirst(component.acSlot - 4, 1, 63, tables, [&](int k, int32_t value) {
        if (made == nullptr) made = &store.row(c, blockRow);
        made->coefficients[64 * column + kJpegZigZag[k]] = truncate16(static_cast<uint32_t>(value));
        made->nonZero[column] |= 1ULL << k;
      });
    }
    --restarts.mcusLeft;
  }
  return true;
}

bool JpegArithmeticDecoder::decodeProgressiveScan(JpegRestarts& restarts, JpegFrame& frame,
                                                  const JpegScan& scan,
                                                  const JpegScanLayout& layout,
                                                  const JpegTables& tables,
                                                  JpegCoefficientStore& store) {
  const int64_t mcus = static_cast<int64_t>(layout.mcusPerRow) * layout.mcuRows;
  for (int64_t mcu = 0; mcu < mcus; ++mcu) {
    if (!beginMcu(restarts, frame)) return false;
    const int mcuRow = static_cast<int>(mcu / layout.mcusPerRow);
    const int mcuColumn = static_cast<int>(mcu % layout.mcusPerRow);
    for (int i = 0; i < layout.blocksPerMcu; ++i) {
      const JpegMcuBlock& mcuBlock = layout.blocks[i];
      const int c = mcuBlock.component;
      JpegComponent& component = frame.components[c];
      const int column = scan.count == 1 ? mcuColumn : mcuColumn * component.h + mcuBlock.h;
      const int blockRow = scan.count == 1 ? mcuRow : mcuRow * component.v + mcuBlock.v;
      store.checkColumn(c, column);
      // Rows are made only for values other than zero, so that data read as zeros after
      // a marker costs no memory.
      const JpegBlockRow* made = store.rowIfMade(c, blockRow);
      if (scan.ss == 0 && scan.ah == 0) {
        component.predictor +=
            static_cast<uint32_t>(decodeDcDifference(c, component.dcSlot, tables));
        const int16_t dc = truncate16(component.predictor << scan.al);
        if (dc != 0) made = &store.row(c, blockRow);
        if (made != nullptr) made->dc[column] = dc;
      } else if (scan.ss == 0) {
        if (decodeHalf() != 0) {
          int16_t& dc = store.row(c, blockRow).dc[column];
          dc = static_cast<int16_t>(dc | truncate16(1u << scan.al));
        }
      } else if (scan.ah == 0) {
        decodeAcFirst(component.acSlot - 4, scan.ss, scan.se, tables, [&](int k, int32_t value) {
          const int16_t coefficient = truncate16(static_cast<uint32_t>(value) << scan.al);
          if (coefficient == 0 && made == nullptr) return;
          if (made == nullptr) made = &store.row(c, blockRow);
          made->coefficients[64 * column + kJpegZigZag[k]] = coefficient;
          uint64_t& nonZero = made->nonZero[column];
          nonZero = coefficient != 0 ? nonZero | 1ULL << k : nonZero & ~(1ULL << k);
        });
      } else if (made != nullptr) {
        decodeAcRefine(component.acSlot - 4, scan, made->coefficients + 64 * column,
                       made->nonZero[column]);
      } else {
        int16_t coefficients[64] = {};
        uint64_t nonZero = 0;
        decodeAcRefine(component.acSlot - 4, scan, coefficients, nonZero);
        if (nonZero != 0) {
          const JpegBlockRow& row = store.row(c, blockRow);
          std::memcpy(row.coefficients + 64 * column, coefficients, sizeof coefficients);
          row.nonZero[column] = nonZero;
        }
      }
    }
    --restarts.mcusLeft;
  }
  return true;
}

}  // namespace vz
