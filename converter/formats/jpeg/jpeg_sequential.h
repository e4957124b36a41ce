// Sequential (baseline and extended) Huffman decoding, one MCU row at a time.
#pragma once

#include "converter/formats/jpeg/jpeg_bit_reader.h"
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

}  // namespace vz
