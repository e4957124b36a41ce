// Sequential and progressive JPEG decoding, Huffman or arithmetic coded, one output row
// at a time.
//
// Calling order: construct over a stream (reads up to the frame header), check
// errorCode(), start(), readRow() until it answers kEnd or kFailed, check errorCode()
// and damage(), destroy the decoder, then the stream.
//
// Nothing throws out of the decoder. A failure records its code, releases every buffer
// and the stream, and ends the public operation; afterwards start() answers the code
// and readRow() kFailed.
//
// Progressive pictures, and sequential ones whose components come in more than one scan,
// are decoded into a store of the whole frame's coefficients, scan by scan, before the
// first row; the usual sequential picture, one scan of every component, row by row. A
// picture of several scans whose later scan is damaged, or whose data ends early, still
// gives every row: the picture as the scans before left it. damage() then tells why.
//
// The stages, each in its own file: JpegInput (bytes) under JpegHeaderReader (markers,
// tables, frame and scan headers), JpegBitReader (Huffman-coded bits) and
// JpegArithmeticDecoder; decodeSequentialRow, decodeSequentialScan,
// JpegProgressiveDecoder and the arithmetic decoder turn the data into coefficients,
// those of several scans into a JpegCoefficientStore; JpegRowOutput transforms them and
// makes pixel rows.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_arithmetic.h"
#include "converter/formats/jpeg/jpeg_bit_reader.h"
#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_coefficients.h"
#include "converter/formats/jpeg/jpeg_error.h"
#include "converter/formats/jpeg/jpeg_frame.h"
#include "converter/formats/jpeg/jpeg_input.h"
#include "converter/formats/jpeg/jpeg_markers.h"
#include "converter/formats/jpeg/jpeg_output.h"
#include "converter/formats/jpeg/jpeg_progressive.h"
#include "converter/formats/jpeg/jpeg_stream.h"

namespace vz {

enum class JpegRowResult {
  kRow,     // the next row
  kEnd,     // every row has been delivered
  kFailed,  // errorCode() tells why; also before start()
};

class JpegDecoder {
 public:
  // fastPath: the 16-bit transform with dequantisation folded in (the program's
  // choice); otherwise the accurate integer transform.
  JpegDecoder(JpegInputStream* stream, bool fastPath);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  JpegError errorCode() const { return error_; }
  // The damage a picture of several scans was decoded through, kNone when there was
  // none; kCorruptData also when its data ended, before a scan or within one;
  // kComponentWithoutScan when a sequential one ended before its last component.
  JpegError damage() const { return damage_; }
  // The scans decoded whole before the damage, and whether it broke off the next one.
  int32_t completeScans() const { return completeScans_; }
  bool damageWithinScan() const { return damageWithinScan_; }
  // True when the failure or damage came where the entropy-coded data had ended: at a
  // marker, or at the end of the stream.
  bool dataEnded() const { return dataEnded_; }
  const JpegFrame& frame() const { return frame_; }
  int32_t width() const { return frame_.width; }
  int32_t height() const { return frame_.height; }
  int32_t componentCount() const { return frame_.componentCount; }
  // The EXIF orientation, 1..8, or 0 when the file gives none; valid after start().
  int32_t orientation() const { return headers_.info().orientation; }
  // 1 (grey) or 4 (R, G, B, 0); valid after start().
  int32_t bytesPerPixel() const { return started_ ? output_.bytesPerPixel() : 0; }
  JpegLayout layout() const { return geometry_.layout; }
  // True when the scans went into the store whole before the first row: progressive
  // pictures, and sequential ones whose components come in more than one scan.
  bool buffered() const { return buffered_; }
  // Pictures of several scans: the pixel rows from the top that the scans reached; the
  // rows below have no data.
  int32_t rowsReached() const { return store_.rowsReached(); }
  // What the progressive stage has done so far: for limits and tests.
  const JpegProgressiveDecoder& progressive() const { return progressive_; }

  // kNone when ready (or already started); otherwise the failure.
  JpegError start();
  // kRow with the next row (owned by the decoder, valid until the next call) and its
  // length in bytes.
  JpegRowResult readRow(const uint8_t*& row, int32_t& length);

 private:
  void recordFailure(JpegError code);
  void readFrame();
  // The markers up to the first scan, then the colour space, the layout and the buffers;
  // returns that first marker.
  int setUpFrame();
  // After a scan header: tables, predictors, restart state, and the entropy decoder on
  // the first byte after the header.
  void beginScan();
  // The scans of a buffered picture, from the first one's marker, into the store.
  void decodeBufferedScans(int marker);
  void decodeProgressiveScan();
  void decodeSequentialScanToStore(bool headerRead);
  // The first scan of a sequential picture: decoded row by row when it holds every
  // component, otherwise with the others into the store.
  void beginSequentialScan(int marker);
  // Scans whose header has been read, complete or not.
  int32_t scansBegun() const;
  // Whether the entropy decoder at work has run into a marker or the end of the data.
  bool entropyDataEnded() const;

  JpegInputStream* stream_;
  bool fastPath_;
  JpegError error_ = JpegError::kNone;
  JpegError damage_ = JpegError::kNone;
  int32_t completeScans_ = 0;
  bool damageWithinScan_ = false;
  bool decodingData_ = false;  // the entropy decoders are at work
  bool dataEnded_ = false;
  bool started_ = false;
  bool buffered_ = false;
  int32_t sequentialScans_ = 0;   // buffered sequential pictures: scans begun
  uint32_t componentsCoded_ = 0;  // and bit i set once component i has had its scan
  JpegBlockPool pool_;
  JpegInput input_;
  JpegHeaderReader headers_;
  JpegBitReader bits_;
  JpegArithmeticDecoder arithmetic_;

  JpegTables tables_;
  JpegFrame frame_;
  JpegMcuGeometry geometry_;
  JpegScan scan_;
  JpegScanLayout scanLayout_;
  JpegRestarts restarts_;

  JpegCoefficientRow coefficientRow_;
  JpegCoefficientStore store_;
  JpegProgressiveDecoder progressive_;
  JpegRowOutput output_;
  int32_t rowsRemaining_ = 0;
  int32_t rowsLeftInMcuRow_ = 0;
};

}  // namespace vz
