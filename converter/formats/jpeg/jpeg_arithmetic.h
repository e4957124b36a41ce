// Arithmetic-coded scans (SOF9, SOF10): the standard's QM coder, whose binary decisions
// carry probability estimates that adapt as they are decoded, under the statistical
// models of sequential and progressive coding. The bins are reset at the start of every
// scan and restart interval.
//
// The coded data ends at a marker; from there on the decoder reads zero bytes, as the
// encoder may leave trailing zeros out. Data that ends without a marker has been cut
// short: no MCU is decoded after that.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_coefficients.h"
#include "converter/formats/jpeg/jpeg_frame.h"
#include "converter/formats/jpeg/jpeg_input.h"

namespace vz {

class JpegArithmeticDecoder {
 public:
  explicit JpegArithmeticDecoder(JpegInput& input) : input_(input) {}

  // Starts a scan on the bytes that follow: bins, DC contexts and predictors are reset.
  void begin(JpegFrame& frame);
  // True once the decoder has met the marker or the end that ends the data.
  bool dataEnded() const { return atMarker_; }

  // The next MCU row of an interleaved sequential scan into 'row', as
  // decodeSequentialRow does it for Huffman data.
  void decodeSequentialRow(JpegRestarts& restarts, JpegFrame& frame,
                           const JpegMcuGeometry& geometry, const JpegScanLayout& layout,
                           const JpegTables& tables, bool fastPath, JpegCoefficientRow& row);
  // One scan of a sequential frame whose components come in more than one scan, into
  // the store, unscaled. False when the data was cut short before the scan's last MCU.
  bool decodeSequentialScan(JpegRestarts& restarts, JpegFrame& frame, const JpegScan& scan,
                            const JpegScanLayout& layout, const JpegTables& tables,
                            JpegCoefficientStore& store);
  // One progressive scan into the store; its parameters have been checked. False when
  // the data was cut short before the scan's last MCU.
  bool decodeProgressiveScan(JpegRestarts& restarts, JpegFrame& frame, const JpegScan& scan,
                             const JpegScanLayout& layout, const JpegTables& tables,
                             JpegCoefficientStore& store);

 private:
  // A bin: the index of its probability estimate in bits 0..6, the more probable
  // symbol in bit 7.
  using Bin = uint8_t;

  void loadRegisters();
  void byteIn();
  int decode(Bin& bin);
  int decodeHalf();  // a decision of fixed probability one half
  // Restart marker, then everything starts again.
  void restart(JpegRestarts& restarts, JpegFrame& frame);
  // Before each MCU: takes the restart that is due; false when the data was cut short.
  bool beginMcu(JpegRestarts& restarts, JpegFrame& frame);

  // The difference of the next DC coefficient from its predictor.
  int32_t decodeDcDifference(int component, int table, const JpegTables& tables);
  // AC coefficients ss..se of a block not coded before (positions of a band): each
  // decoded value goes to store(k, value). Returns one past the last position coded.
  template <typename Store>
  int decodeAcFirst(int table, int ss, int se, const JpegTables& tables, Store store);
  // A refinement of the band ss..se of a block by one bit at 'al'.
  void decodeAcRefine(int table, const JpegScan& scan, int16_t* coefficients, uint64_t& nonZero);

  JpegInput& input_;
  uint32_t c_ = 0;  // code register: the 16 bits compared with a_ above 16 bits in waiting
  uint32_t a_ = 0;  // interval size
  int32_t ct_ = 0;  // bits in waiting
  bool atMarker_ = false;
  bool cutShort_ = false;  // bytes were needed past the end of the data
  Bin dcBins_[4][64] = {};
  Bin acBins_[4][256] = {};
  int32_t dcContext_[4] = {};  // per component: the bins chosen by the last difference
};

}  // namespace vz
