// Why a JPEG decode failed. The numbers are the decoder's codes as it has always
// reported them; callers and stored logs may compare against them.
#pragma once

#include <cstdint>

namespace vz {

enum class JpegError : int32_t {
  kNone = 0,
  kTooManyHuffmanCodes = -200,  // also codes that over-fill the code space
  kBadHuffmanSlot = -201,
  kShortHuffmanSegment = -202,
  kShortQuantisationLength = -203,
  kBadQuantisationNumber = -204,
  kBadPrecision = -205,
  kBadHeight = -206,
  kBadWidth = -207,
  kTooManyComponents = -208,
  kBadFrameLength = -209,
  kBadSegmentLength = -210,
  kBadRestartLength = -211,
  kBadScanHeader = -212,
  kUnknownScanComponent = -213,
  kMisplacedMarker = -216,
  kNoStartOfImage = -217,
  kUnsupportedFrame = -218,
  kShortQuantisationSegment = -219,
  kNoFreeSlot = -221,  // the decoder's block pool is full
  kMissingQuantisationTable = -222,
  kMissingHuffmanTable = -223,
  kUnsupportedComponentCount = -225,
  kUnsupportedSampling = -226,
  kCorruptData = -227,
  kBadRestart = -228,
  kBlockOutOfRange = -229,
  kBadProgression = -230,
  kBadRefinement = -231,
  kReadError = -232,
  kOutOfMemory = -233,
  kTooManyScans = -234,          // a progressive picture with more scans than any encoder writes
  kBadArithmeticTable = -235,    // a DAC segment's bounds out of range
  kComponentWithoutScan = -236,  // a sequential picture ended before every component had its scan
};

// A few English words for a code: "corrupt Huffman data".
const char* describeJpegError(JpegError code);

// Inside the decoder a failure unwinds to the public operation that started the work,
// which records the code; nothing throws out of the decoder.
struct JpegFailure {
  JpegError code;
};

[[noreturn]] inline void failJpeg(JpegError code) {
  throw JpegFailure{code};
}

}  // namespace vz
