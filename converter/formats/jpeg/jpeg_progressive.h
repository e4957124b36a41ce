// Progressive Huffman decoding: every scan adds to the coefficient store, which holds the
// whole picture; rows are gathered from it once the last scan is in.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_bit_reader.h"
#include "converter/formats/jpeg/jpeg_coefficients.h"
#include "converter/formats/jpeg/jpeg_frame.h"

namespace vz {

class JpegProgressiveDecoder {
 public:
  // libjpeg's cjpeg and jpegtran write 10 scans (6 for grey); even a script that splits
  // each component's DC and two AC bands into a first scan and ten refinements stays
  // below 80. Pictures with more are made to waste the decoder's time.
  static constexpr int32_t kMaxScans = 128;

  // Checks the scan's progression parameters and counts it against kMaxScans.
  void checkScan(const JpegScan& scan);
  // Decodes one scan into the store, the reader positioned on its data. Once the data
  // before the next marker has been used up, the rest of the scan changes nothing, and
  // the answer is false.
  bool decodeScan(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                  const JpegScan& scan, const JpegScanLayout& layout, JpegCoefficientStore& store);

  int32_t scans() const { return scans_; }
  // Coefficient positions read or refined one by one, over all scans: the work that
  // grows with the data, and which end-of-band runs must not multiply.
  int64_t coefficientSteps() const { return coefficientSteps_; }

 private:
  void decodeDcFirst(JpegBitReader& bits, JpegComponent& component, int16_t* dc,
                     const JpegHuffmanTable& table, int al);
  void decodeAcFirst(JpegBitReader& bits, const JpegScan& scan, const JpegHuffmanTable& table,
                     const JpegBlockRow& row, int column);
  void decodeAcRefine(JpegBitReader& bits, const JpegScan& scan, const JpegHuffmanTable& table,
                      const JpegBlockRow& row, int column);
  // The blocks of an end-of-band run in a refinement: corrections for those with non-zero
  // coefficients in the band. False when the data was used up first.
  bool refineRun(JpegBitReader& bits, const JpegScan& scan, const JpegScanLayout& layout,
                 JpegCoefficientStore& store, int64_t first, int64_t count);
  // Correction bits for the block's non-zero coefficients from zig-zag position 'from'
  // to the end of the band, within an end-of-band run.
  void refineNonZero(JpegBitReader& bits, const JpegScan& scan, const JpegBlockRow& row, int column,
                     int from);

  int32_t eobRun_ = 0;  // blocks left in the current end-of-band run
  int32_t scans_ = 0;
  int64_t coefficientSteps_ = 0;
};

}  // namespace vz
