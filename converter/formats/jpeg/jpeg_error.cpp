#include "converter/formats/jpeg/jpeg_error.h"

namespace vz {

const char* describeJpegError(JpegError code) {
  switch (code) {
    case JpegError::kNone:
      return "no error";
    case JpegError::kTooManyHuffmanCodes:
      return "bad Huffman table";
    case JpegError::kBadHuffmanSlot:
      return "bad Huffman table number";
    case JpegError::kShortHuffmanSegment:
      return "short Huffman table segment";
    case JpegError::kShortQuantisationLength:
    case JpegError::kShortQuantisationSegment:
      return "short quantisation table segment";
    case JpegError::kBadQuantisationNumber:
      return "bad quantisation table number";
    case JpegError::kBadPrecision:
      return "JPEG precision other than 8 bits not supported";
    case JpegError::kBadHeight:
      return "bad picture height";
    case JpegError::kBadWidth:
      return "bad picture width";
    case JpegError::kTooManyComponents:
      return "more than 4 components";
    case JpegError::kBadFrameLength:
      return "bad frame header length";
    case JpegError::kBadSegmentLength:
      return "bad segment length";
    case JpegError::kBadRestartLength:
      return "bad restart interval segment";
    case JpegError::kBadScanHeader:
      return "bad scan header";
    case JpegError::kUnknownScanComponent:
      return "scan names an unknown component";
    case JpegError::kMisplacedMarker:
      return "marker out of place";
    case JpegError::kNoStartOfImage:
      return "not a JPEG file";
    case JpegError::kUnsupportedFrame:
      return "lossless and hierarchical JPEG not supported";
    case JpegError::kNoFreeSlot:
    case JpegError::kOutOfMemory:
      return "out of memory";
    case JpegError::kMissingQuantisationTable:
      return "missing quantisation table";
    case JpegError::kMissingHuffmanTable:
      return "missing Huffman table";
    case JpegError::kUnsupportedComponentCount:
      return "JPEG component count not supported";
    case JpegError::kUnsupportedSampling:
      return "JPEG sampling not supported";
    case JpegError::kCorruptData:
      return "corrupt entropy-coded data";
    case JpegError::kBadRestart:
      return "restart marker missing";
    case JpegError::kBlockOutOfRange:
      return "block outside the picture";
    case JpegError::kBadProgression:
      return "bad progressive scan";
    case JpegError::kBadRefinement:
      return "bad progressive refinement";
    case JpegError::kReadError:
      return "read error";
    case JpegError::kTooManyScans:
      return "too many progressive scans";
    case JpegError::kBadArithmeticTable:
      return "bad arithmetic coding table";
    case JpegError::kComponentWithoutScan:
      return "a component has no scan";
  }
  return "damaged";
}

}  // namespace vz
