#include "converter/formats/jpeg/jpeg_decoder.h"

#include <algorithm>

#include "converter/formats/jpeg/jpeg_sequential.h"

namespace vz {

namespace {

// The colour space of the libjpeg family's rules: JFIF means YCbCr; otherwise Adobe's
// transform decides; otherwise three components named 'R', 'G', 'B' are RGB. Four
// components are CMYK unless Adobe says they were transformed (YCCK).
JpegColourSpace colourSpaceOf(const JpegFrame& frame, const JpegMarkerInfo& info) {
  if (frame.componentCount == 1) return JpegColourSpace::kGrey;
  if (frame.componentCount == 4)
    return info.adobe && info.adobeTransform != 0 ? JpegColourSpace::kYcck : JpegColourSpace::kCmyk;
  if (info.jfif) return JpegColourSpace::kYCbCr;
  if (info.adobe) return info.adobeTransform == 0 ? JpegColourSpace::kRgb : JpegColourSpace::kYCbCr;
  const JpegComponent* c = frame.components;
  return c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B' ? JpegColourSpace::kRgb
                                                            : JpegColourSpace::kYCbCr;
}

bool isOutOfMemory(JpegError code) {
  return code == JpegError::kOutOfMemory || code == JpegError::kNoFreeSlot;
}

}  // namespace

JpegDecoder::JpegDecoder(JpegInputStream* stream, bool fastPath)
    : stream_(stream),
      fastPath_(fastPath),
      input_(stream),
      headers_(input_, pool_),
      bits_(input_),
      arithmetic_(input_) {
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
      break;
    case jpegmarker::kSof0:
    case jpegmarker::kSof1:
      break;
    case jpegmarker::kSof9:
      frame_.arithmetic = true;
      break;
    case jpegmarker::kSof10:
      frame_.arithmetic = true;
      frame_.progressive = true;
      break;
    default:
      failJpeg(JpegError::kUnsupportedFrame);
  }
  headers_.readFrameHeader(frame_);
  // Factors and component count are checked here, before the rest of the headers.
  geometry_.setUp(frame_);
}

int JpegDecoder::setUpFrame() {
  const int marker = headers_.nextMarker(tables_, fastPath_);
  frame_.colourSpace = colourSpaceOf(frame_, headers_.info());
  geometry_.chooseLayout(frame_);
  const int32_t blocksPerRow = geometry_.blocksPerMcu * geometry_.mcusPerRow;
  output_.allocate(frame_, geometry_, pool_);
  coefficientRow_.coefficients = pool_.take<int16_t>(static_cast<size_t>(blocksPerRow) * 64);
  coefficientRow_.lastIndex = pool_.take<int32_t>(static_cast<size_t>(blocksPerRow));
  std::fill(coefficientRow_.lastIndex, coefficientRow_.lastIndex + blocksPerRow, 64);
  rowsRemaining_ = frame_.height;
  rowsLeftInMcuRow_ = 0;
  return marker;
}

void JpegDecoder::beginScan() {
  scanLayout_.setUp(frame_, geometry_, scan_);
  if (frame_.arithmetic) {
    for (int i = 0; i < scan_.count; ++i) {
      const JpegComponent& component = frame_.components[scan_.components[i]];
      if (component.dcSlot > 3 || component.acSlot > 7) failJpeg(JpegError::kBadScanHeader);
    }
  } else {
    scanLayout_.attachTables(frame_, scan_, tables_, pool_);
  }
  scanLayout_.attachQuantisation(frame_, scan_, tables_);
  for (JpegComponent& component : frame_.components) component.predictor = 0;
  restarts_.begin(tables_.restartInterval);
  headers_.returnUnread();
  if (frame_.arithmetic) {
    arithmetic_.begin(frame_);
  } else {
    bits_.reset();
    bits_.fill();
  }
}

int32_t JpegDecoder::scansBegun() const {
  return frame_.progressive ? progressive_.scans() : sequentialScans_;
}

void JpegDecoder::decodeBufferedScans(int marker) {
  store_.setUp(frame_, geometry_);
  for (bool first = true;; first = false) {
    completeScans_ = scansBegun();
    // Once a scan is complete, damage after it leaves the picture as it was, and so does
    // data that ends, in the first scan too. Too many scans, or no memory, end the
    // decoding all the same.
    try {
      if (!first) {
        // A sequential frame is complete with the scan of its last component.
        if (!frame_.progressive && componentsCoded_ == (1u << frame_.componentCount) - 1) break;
        headers_.prime();
        marker = headers_.nextMarker(tables_, fastPath_);
      }
      if (marker == jpegmarker::kEoi) {
        // The end of the data stands in for a missing EOI: scans may be missing too.
        if (headers_.markerPastEnd()) {
          damage_ = JpegError::kCorruptData;
          dataEnded_ = true;
        } else if (!frame_.progressive) {
          damage_ = JpegError::kComponentWithoutScan;
        }
        break;
      }
      if (marker != jpegmarker::kSos) failJpeg(JpegError::kMisplacedMarker);
      if (frame_.progressive) {
        decodeProgressiveScan();
      } else {
        decodeSequentialScanToStore(first);
      }
    } catch (const JpegFailure& failure) {
      // Padding read past the end of the data can fail a block as well as stop it.
      const bool dataEnded = decodingData_ && entropyDataEnded();
      if ((completeScans_ == 0 && !dataEnded) || isOutOfMemory(failure.code) ||
          failure.code == JpegError::kTooManyScans)
        throw;
      damage_ = failure.code;
      dataEnded_ = dataEnded;
      decodingData_ = false;
    }
    if (damage_ != JpegError::kNone) {
      damageWithinScan_ = scansBegun() > completeScans_;
      break;
    }
  }
  // Rows come from MCUs of every component; one that no scan named may still lack its
  // quantisation table.
  scan_.count = frame_.componentCount;
  for (int i = 0; i < frame_.componentCount; ++i) scan_.components[i] = i;
  scanLayout_.setUpFrame(frame_, geometry_);
  scanLayout_.attachQuantisation(frame_, scan_, tables_);
}

// One scan; damage_ is set when its data ends before its last MCU.
void JpegDecoder::decodeProgressiveScan() {
  headers_.readScanHeader(frame_, scan_);
  progressive_.checkScan(scan_);
  beginScan();
  decodingData_ = true;
  const bool complete =
      frame_.arithmetic
          ? arithmetic_.decodeProgressiveScan(restarts_, frame_, scan_, scanLayout_, tables_,
                                              store_)
          : progressive_.decodeScan(bits_, restarts_, frame_, scan_, scanLayout_, store_);
  decodingData_ = false;
  if (!complete) {
    damage_ = JpegError::kCorruptData;
    dataEnded_ = true;
  }
}

// One scan of a sequential frame whose components come in more than one scan; the first
// one's header has been read already.
void JpegDecoder::decodeSequentialScanToStore(bool headerRead) {
  if (!headerRead) headers_.readScanHeader(frame_, scan_);
  ++sequentialScans_;
  // Every component has one scan.
  for (int i = 0; i < scan_.count; ++i) {
    const uint32_t bit = 1u << scan_.components[i];
    if ((componentsCoded_ & bit) != 0) failJpeg(JpegError::kBadScanHeader);
    componentsCoded_ |= bit;
  }
  beginScan();
  decodingData_ = true;
  const bool complete =
      frame_.arithmetic
          ? arithmetic_.decodeSequentialScan(restarts_, frame_, scan_, scanLayout_, tables_, store_)
          : decodeSequentialScan(bits_, restarts_, frame_, scan_, scanLayout_, store_);
  decodingData_ = false;
  if (!complete) {
    damage_ = JpegError::kCorruptData;
    dataEnded_ = true;
  }
}

void JpegDecoder::beginSequentialScan(int marker) {
  if (marker != jpegmarker::kSos) failJpeg(JpegError::kMisplacedMarker);
  headers_.readScanHeader(frame_, scan_);
  // The usual frame: one interleaved scan holds every component, and its MCU rows are
  // decoded as the pixel rows are asked for.
  if (scan_.count == frame_.componentCount) {
    beginScan();
    return;
  }
  // The components come in more than one scan: the whole frame is decoded into the
  // store first, as a progressive one is.
  buffered_ = true;
  decodeBufferedScans(marker);
}

JpegError JpegDecoder::start() {
  if (error_ != JpegError::kNone || started_) return error_;
  try {
    const int marker = setUpFrame();
    if (frame_.progressive) {
      buffered_ = true;
      decodeBufferedScans(marker);
    } else {
      beginSequentialScan(marker);
    }
    started_ = true;
  } catch (const JpegFailure& failure) {
    recordFailure(failure.code);
  }
  return error_;
}

bool JpegDecoder::entropyDataEnded() const {
  return frame_.arithmetic ? arithmetic_.dataEnded() : bits_.padded();
}

JpegRowResult JpegDecoder::readRow(const uint8_t*& row, int32_t& length) {
  if (error_ != JpegError::kNone || !started_) return JpegRowResult::kFailed;
  if (rowsRemaining_ == 0) return JpegRowResult::kEnd;
  try {
    if (rowsLeftInMcuRow_ == 0) {
      if (buffered_) {
        store_.gatherRow(frame_, geometry_, scanLayout_, fastPath_, coefficientRow_);
      } else {
        decodingData_ = true;
        if (frame_.arithmetic) {
          arithmetic_.decodeSequentialRow(restarts_, frame_, geometry_, scanLayout_, tables_,
                                          fastPath_, coefficientRow_);
        } else {
          decodeSequentialRow(bits_, restarts_, frame_, geometry_, scanLayout_, fastPath_,
                              coefficientRow_);
        }
        decodingData_ = false;
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
    return JpegRowResult::kRow;
  } catch (const JpegFailure& failure) {
    dataEnded_ = decodingData_ && entropyDataEnded();
    recordFailure(failure.code);
    return JpegRowResult::kFailed;
  }
}

}  // namespace vz
