// Progressive Huffman decoding: every scan adds to coefficient planes that hold the
// whole picture; rows are gathered from them once the last scan is in.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_bit_reader.h"
#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_frame.h"

namespace vz {

class JpegProgressiveDecoder {
 public:
  // libjpeg's cjpeg and jpegtran write 10 scans (6 for grey); even a script that splits
  // each component's DC and two AC bands into a first scan and ten refinements stays
  // below 80. Pictures with more are made to waste the decoder's time.
  static constexpr int32_t kMaxScans = 128;

  void allocatePlanes(const JpegFrame& frame, const JpegMcuGeometry& geometry, JpegBlockPool& pool);
  // Decodes one scan, the reader positioned on its data. Once the data before the next
  // marker has been used up, the rest of the scan changes nothing.
  void decodeScan(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                  const JpegScan& scan, const JpegScanLayout& layout);
  // The next MCU row of the frame layout into 'row'; dequantised unless fastPath.
  void gatherRow(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                 const JpegScanLayout& layout, bool fastPath, JpegCoefficientRow& row);

  int32_t scans() const { return scans_; }
  // Coefficient positions read or refined one by one, over all scans: the work that
  // grows with the data, and which end-of-band runs must not multiply.
  int64_t coefficientSteps() const { return coefficientSteps_; }

 private:
  struct Plane {
    int16_t* dc = nullptr;
    int16_t* coefficients = nullptr;  // 64 per block, natural order; DC unused
    uint64_t* nonZero = nullptr;      // per block: bit k set when zig-zag position k is not 0
    int32_t wide = 0;                 // blocks
    int32_t high = 0;
    int32_t nextRow = 0;  // block row gatherRow reads next
  };

  size_t blockIndex(const Plane& plane, int column, int row) const;
  void decodeDcFirst(JpegBitReader& bits, JpegComponent& component, int16_t* dc,
                     const JpegHuffmanTable& table, int al);
  void decodeAcFirst(JpegBitReader& bits, const JpegScan& scan, const JpegHuffmanTable& table,
                     Plane& plane, size_t block);
  void decodeAcRefine(JpegBitReader& bits, const JpegScan& scan, const JpegHuffmanTable& table,
                      Plane& plane, size_t block);
  // The blocks of an end-of-band run in a refinement: corrections for those with non-zero
  // coefficients in the band. False when the data was used up first.
  bool refineRun(JpegBitReader& bits, const JpegScan& scan, const JpegScanLayout& layout,
                 int64_t first, int64_t count);
  // Correction bits for the block's non-zero coefficients from zig-zag position 'from'
  // to the end of the band, within an end-of-band run.
  void refineNonZero(JpegBitReader& bits, const JpegScan& scan, Plane& plane, size_t block,
                     int from);

  Plane planes_[4];
  int32_t eobRun_ = 0;  // blocks left in the current end-of-band run
  int32_t scans_ = 0;
  int64_t coefficientSteps_ = 0;
};

}  // namespace vz
