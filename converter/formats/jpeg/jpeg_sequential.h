// Sequential (baseline and extended) Huffman decoding, one MCU row at a time.
#pragma once

#include "converter/formats/jpeg/jpeg_bit_reader.h"
#include "converter/formats/jpeg/jpeg_coefficients.h"
#include "converter/formats/jpeg/jpeg_frame.h"

namespace vz {

// Takes the restart marker that is due: the DC predictors start again from 0.
void takeRestartMarker(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame);

// Decodes the next MCU row of an interleaved scan into 'row'. fastPath: coefficients
// stay unscaled (the fast transform's tables carry the quantisation); otherwise they
// are dequantised here.
void decodeSequentialRow(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                         const JpegMcuGeometry& geometry, const JpegScanLayout& layout,
                         bool fastPath, JpegCoefficientRow& row);

// Decodes a whole scan of a frame whose components come in more than one scan into the
// store, unscaled, the reader positioned on its data. False when the data before the
// next marker was used up before the scan's last MCU.
bool decodeSequentialScan(JpegBitReader& bits, JpegRestarts& restarts, JpegFrame& frame,
                          const JpegScan& scan, const JpegScanLayout& layout,
                          JpegCoefficientStore& store);

}  // namespace vz
