#include "converter/formats/jpeg/jpeg_decoder.h"

#include <algorithm>

#include "converter/formats/jpeg/jpeg_sequential.h"

namespace vz {

JpegDecoder::JpegDecoder(JpegInputStream* stream, bool fastPath)
    : stream_(stream), fastPath_(fastPath), input_(stream), headers_(input_, pool_), bits_(input_) {
  try {
    if (stream_ == nullptr) failJpeg(JpegError::kReadError);
    stream_->begin();
    readFrame();
  } catch (const JpegFailure& failure) {
    recordFailure(failure.code);
  }
}

JpegDecoder::~JpegDecoder() {
  if (stream_ != nullptr) stream_->end();
}

// The stages keep pointers into the pool; after a failure nothing runs that reads them.
void JpegDecoder::recordFailure(JpegError code) {
  error_ = code;
  if (stream_ != nullptr) stream_->end();
  stream_ = nullptr;
  pool_.releaseAll();
}

void JpegDecoder::readFrame() {
  input_.refill();
  headers_.prime();
  headers_.findStartOfImage();
  switch (headers_.nextMarker(tables_, fastPath_)) {
    case jpegmarker::kSof2:
      frame_.progressive = true;
      headers_.readFrameHeader(frame_);
      break;
    case jpegmarker::kSof0:
    case jpegmarker::kSof1:
      headers_.readFrameHeader(frame_);
      break;
    case jpegmarker::kSof9:
      failJpeg(JpegError::kArithmeticCoding);
    default:
      failJpeg(JpegError::kUnsupportedFrame);
  }
}

void JpegDecoder::setUpFrame() {
  geometry_.setUp(frame_);
  const int32_t blocksPerRow = geometry_.blocksPerMcu * geometry_.mcusPerRow;
  if (blocksPerRow > JpegMcuGeometry::kMaxBlocksPerRow) failJpeg(JpegError::kBlockOutOfRange);
  output_.allocate(geometry_, frame_.width, pool_);
  coefficientRow_.coefficients = pool_.take<int16_t>(static_cast<size_t>(blocksPerRow) * 64);
  std::fill(coefficientRow_.lastIndex, coefficientRow_.lastIndex + blocksPerRow, 64);
  rowsRemaining_ = frame_.height;
  rowsLeftInMcuRow_ = 0;
}

void JpegDecoder::beginScan() {
  scanLayout_.setUp(frame_, geometry_, scan_);
  scanLayout_.attachTables(frame_, scan_, tables_, pool_);
  scanLayout_.attachQuantisation(frame_, scan_, tables_);
  for (JpegComponent& component : frame_.components) component.predictor = 0;
  restarts_.begin(tables_.restartInterval);
  headers_.returnUnread();
  bits_.reset();
  bits_.fill();
}

void JpegDecoder::decodeProgressiveScans() {
  progressive_.allocatePlanes(frame_, geometry_, pool_);
  for (;;) {
    const int marker = headers_.nextMarker(tables_, fastPath_);
    if (marker == jpegmarker::kEoi) break;
    if (marker != jpegmarker::kSos) failJpeg(JpegError::kMisplacedMarker);
    headers_.readScanHeader(frame_, scan_);
    beginScan();
    progressive_.decodeScan(bits_, restarts_, frame_, scan_, scanLayout_);
    headers_.prime();
  }
  // Rows come from MCUs of every component; one that no scan named may still lack its
  // quantisation table.
  scan_.count = frame_.componentCount;
  for (int i = 0; i < frame_.componentCount; ++i) scan_.components[i] = i;
  scanLayout_.setUp(frame_, geometry_, scan_);
  scanLayout_.attachQuantisation(frame_, scan_, tables_);
}

void JpegDecoder::beginSequentialScan() {
  if (headers_.nextMarker(tables_, fastPath_) != jpegmarker::kSos)
    failJpeg(JpegError::kMisplacedMarker);
  headers_.readScanHeader(frame_, scan_);
  // Rows are produced from interleaved MCUs holding every component once.
  if (scan_.count != frame_.componentCount) failJpeg(JpegError::kBadScanHeader);
  for (int i = 0; i < scan_.count; ++i)
    for (int j = 0; j < i; ++j)
      if (scan_.components[i] == scan_.components[j]) failJpeg(JpegError::kBadScanHeader);
  beginScan();
}

int JpegDecoder::start() {
  if (error_ != JpegError::kNone) return -1;
  if (started_) return 0;
  try {
    setUpFrame();
    if (frame_.progressive) {
      decodeProgressiveScans();
    } else {
      beginSequentialScan();
    }
    started_ = true;
    return 0;
  } catch (const JpegFailure& failure) {
    recordFailure(failure.code);
    return -1;
  }
}

int JpegDecoder::readRow(const uint8_t*& row, int32_t& length) {
  if (error_ != JpegError::kNone || !started_) return -1;
  if (rowsRemaining_ == 0) return 1;
  try {
    if (rowsLeftInMcuRow_ == 0) {
      if (frame_.progressive) {
        progressive_.gatherRow(frame_, geometry_, scanLayout_, fastPath_, coefficientRow_);
      } else {
        decodeSequentialRow(bits_, restarts_, frame_, geometry_, scanLayout_, fastPath_,
                            coefficientRow_);
        // After the last MCU row, the markers up to the next scan or the end.
        if (rowsRemaining_ <= geometry_.mcuHeight) {
          headers_.prime();
          headers_.nextMarker(tables_, fastPath_);
        }
      }
      output_.transformRow(coefficientRow_, scanLayout_, fastPath_);
      rowsLeftInMcuRow_ = geometry_.mcuHeight;
    }
    row = output_.pixelRow(geometry_.mcuHeight - rowsLeftInMcuRow_);
    length = frame_.width * output_.bytesPerPixel();
    --rowsLeftInMcuRow_;
    --rowsRemaining_;
    return 0;
  } catch (const JpegFailure& failure) {
    recordFailure(failure.code);
    return static_cast<int>(JpegError::kCorruptData);
  }
}

}  // namespace vz
