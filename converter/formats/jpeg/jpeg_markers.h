// Markers and the segments between the scans: finds the start of the picture, reads the
// tables into JpegTables and the frame and scan headers into their records.
#pragma once

#include <cstdint>

#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "converter/formats/jpeg/jpeg_frame.h"
#include "converter/formats/jpeg/jpeg_input.h"

namespace vz {

namespace jpegmarker {
constexpr int kSof0 = 0xC0;
constexpr int kSof1 = 0xC1;
constexpr int kSof2 = 0xC2;
constexpr int kSof9 = 0xC9;
constexpr int kSof10 = 0xCA;
constexpr int kEoi = 0xD9;
constexpr int kSos = 0xDA;
}  // namespace jpegmarker

// What the application segments say about the picture.
struct JpegMarkerInfo {
  bool jfif = false;
  bool adobe = false;
  int32_t adobeTransform = 0;  // 0: the components as they are, 1: YCbCr, 2: YCCK
  int32_t orientation = 0;     // the first EXIF block's, 1..8; 0 when there is none
};

class JpegHeaderReader {
 public:
  JpegHeaderReader(JpegInput& input, JpegBlockPool& pool) : input_(input), pool_(pool) {}

  // Loads the next four bytes: header reading starts here.
  void prime();
  // Fails unless the data starts with SOI, or has one within its first 512 bytes that a
  // marker follows.
  void findStartOfImage();
  // Reads segments, keeping the tables and what info() records, until a frame header,
  // SOS, SOI or EOI marker; returns that marker. fastPath: scale quantisation tables for
  // the fast transform.
  int nextMarker(JpegTables& tables, bool fastPath);
  const JpegMarkerInfo& info() const { return info_; }
  // True when the marker nextMarker returned lay past the end of the data: the input's
  // endless EOI.
  bool markerPastEnd() const { return input_.bytesPastEnd() > bitCount_ / 8; }
  void readFrameHeader(JpegFrame& frame);
  // Also sets the components' table slots.
  void readScanHeader(JpegFrame& frame, JpegScan& scan);
  // The entropy data starts right after the scan header: gives back what was loaded
  // ahead.
  void returnUnread();

 private:
  uint32_t bits(int count);
  uint32_t byte() { return bits(8); }
  uint32_t word() { return bits(16); }
  void readHuffmanTables(JpegTables& tables);
  void readQuantisationTables(JpegTables& tables, bool fastPath);
  void readRestartInterval(JpegTables& tables);
  void readArithmeticConditioning(JpegTables& tables);
  // An APPn segment: JFIF, EXIF and Adobe are noted, the rest skipped.
  void readApplicationSegment(int marker);
  void skip(uint32_t count);

  JpegInput& input_;
  JpegBlockPool& pool_;
  uint32_t window_ = 0;  // the next bits, most significant first
  int32_t bitCount_ = 0;
  JpegMarkerInfo info_;
};

}  // namespace vz
