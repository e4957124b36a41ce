// Sequential and progressive Huffman JPEG decoding, one output row at a time.
//
// Calling order: construct over a stream (reads up to the frame header), check
// errorCode(), start(), readRow() until it returns non-zero or height() rows are read,
// check errorCode() again, destroy the decoder, then the stream.
//
// Nothing throws out of the decoder. A failure records its code, releases every buffer
// and the stream, and ends the public operation; afterwards start() and readRow()
// answer -1.
//
// The stages, each in its own file: JpegInput (bytes) under JpegHeaderReader (markers,
// tables, frame and scan headers) and JpegBitReader (entropy-coded bits, Huffman
// symbols); decodeSequentialRow and JpegProgressiveDecoder turn the bits into
// coefficients; JpegRowOutput transforms them and makes pixel rows.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_bit_reader.h"
#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_error.h"
#include "converter/formats/jpeg/jpeg_frame.h"
#include "converter/formats/jpeg/jpeg_input.h"
#include "converter/formats/jpeg/jpeg_markers.h"
#include "converter/formats/jpeg/jpeg_output.h"
#include "converter/formats/jpeg/jpeg_progressive.h"
#include "converter/formats/jpeg/jpeg_stream.h"

namespace vz {

class JpegDecoder {
 public:
  // fastPath: the 16-bit transform with dequantisation folded in (the program's
  // choice); otherwise the accurate integer transform.
  JpegDecoder(JpegInputStream* stream, bool fastPath);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  JpegError errorCode() const { return error_; }
  int32_t width() const { return frame_.width; }
  int32_t height() const { return frame_.height; }
  int32_t componentCount() const { return frame_.componentCount; }
  // 1 (grey) or 4 (R, G, B, 0); valid after start().
  int32_t bytesPerPixel() const { return started_ ? output_.bytesPerPixel() : 0; }
  JpegLayout layout() const { return geometry_.layout; }
  // What the progressive stage has done so far: for limits and tests.
  const JpegProgressiveDecoder& progressive() const { return progressive_; }

  // 0 when ready (or already started); -1 on failure.
  int start();
  // 0 with the next row (owned by the decoder, valid until the next call) and its
  // length in bytes; 1 when every row has been delivered; -1 before start() or after a
  // failure; -227 when this call failed.
  int readRow(const uint8_t*& row, int32_t& length);

 private:
  void recordFailure(JpegError code);
  void readFrame();
  void setUpFrame();
  // After a scan header: tables, predictors, restart state, and the bit reader on the
  // first byte after the header.
  void beginScan();
  void decodeProgressiveScans();
  void beginSequentialScan();

  JpegInputStream* stream_;
  bool fastPath_;
  JpegError error_ = JpegError::kNone;
  bool started_ = false;
  JpegBlockPool pool_;
  JpegInput input_;
  JpegHeaderReader headers_;
  JpegBitReader bits_;

  JpegTables tables_;
  JpegFrame frame_;
  JpegMcuGeometry geometry_;
  JpegScan scan_;
  JpegScanLayout scanLayout_;
  JpegRestarts restarts_;

  JpegCoefficientRow coefficientRow_;
  JpegProgressiveDecoder progressive_;
  JpegRowOutput output_;
  int32_t rowsRemaining_ = 0;
  int32_t rowsLeftInMcuRow_ = 0;
};

}  // namespace vz
