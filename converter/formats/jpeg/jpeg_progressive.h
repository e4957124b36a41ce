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
  void allocatePlanes(const JpegFrame& frame, const JpegMcuGeometry& geometry, JpegBlockPool& pool);
  // Decodes one scan, the reader positioned on its data.
  void decodeScan(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                  const JpegScan& scan, const JpegScanLayout& layout);
  // The next MCU row of the frame layout into 'row'; dequantised unless fastPath.
  void gatherRow(const JpegFrame& frame, const JpegMcuGeometry& geometry,
                 const JpegScanLayout& layout, bool fastPath, JpegCoefficientRow& row);

 private:
  struct Plane {
    int16_t* dc = nullptr;
    int16_t* coefficients = nullptr;  // 64 per block, natural order; DC unused
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

  Plane planes_[4];
  int32_t eobRun_ = 0;  // blocks left in the current end-of-band run
};

}  // namespace vz
