// The decoder on small hand-made streams: every failure code where it is raised, the
// tolerated defects, and the bit-level rules of the entropy reader.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "converter/formats/jpeg/jpeg_block_pool.h"
#include "tests/unit/jpeg_test_support.h"

namespace vz {
namespace {

using jpegtest::Decoded;
using jpegtest::decodeMemory;
using jpegtest::greyHeaders;
using jpegtest::StreamBuilder;

constexpr int kSof0 = 0xC0;
constexpr int kSof2 = 0xC2;

// One 8x8 grey block: DC category 0, then EOB.
std::vector<uint8_t> validGrey() {
  return greyHeaders().sos({{1, 0, 0}}).bits("000").eoi().data;
}

StreamBuilder colourHeaders(int marker = kSof0, int lumaH = 1, int lumaV = 1, int chromaH = 1,
                            int chromaV = 1) {
  StreamBuilder b;
  b.soi().dqt(0).sof(marker, 8, 8,
                     {{1, lumaH, lumaV, 0}, {2, chromaH, chromaV, 0}, {3, chromaH, chromaV, 0}});
  b.dht(0, 0, {1, 1, 1}, {0, 1, 17});
  b.dht(1, 0, {0, 3, 1}, {0x00, 0xF0, 0x01, 0xF1});
  return b;
}

TEST(JpegDecoder, MinimalGreyPictureDecodes) {
  const Decoded d = decodeMemory(validGrey());
  EXPECT_EQ(d.error, 0);
  EXPECT_EQ(d.width, 8);
  EXPECT_EQ(d.components, 1);
  EXPECT_EQ(d.rowsRead, 8);
  EXPECT_EQ(d.lastRowResult, JpegRowResult::kEnd);
  for (uint8_t p : d.pixels) EXPECT_EQ(p, 128);
}

TEST(JpegDecoder, CallingOrder) {
  const std::vector<uint8_t> file = validGrey();
  JpegMemoryStream stream(file.data(), file.size());
  JpegDecoder decoder(&stream, true);
  const uint8_t* row = nullptr;
  int32_t length = 0;
  EXPECT_EQ(decoder.readRow(row, length), JpegRowResult::kFailed);  // not started
  EXPECT_EQ(decoder.start(), JpegError::kNone);
  EXPECT_EQ(decoder.start(), JpegError::kNone);  // idempotent
  EXPECT_EQ(decoder.bytesPerPixel(), 1);
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(decoder.readRow(row, length), JpegRowResult::kRow);
    EXPECT_EQ(length, 8);
  }
  EXPECT_EQ(decoder.readRow(row, length), JpegRowResult::kEnd);
  EXPECT_EQ(decoder.readRow(row, length), JpegRowResult::kEnd);
}

// Counts begin() and end() and can fail its reads.
class RecordingStream : public JpegInputStream {
 public:
  explicit RecordingStream(std::vector<uint8_t> data, bool failReads = false)
      : data_(std::move(data)), failReads_(failReads) {}
  int read(uint8_t* buffer, int size, uint8_t* atEnd) override {
    if (failReads_) return -1;
    const int count = std::min<int>(size, static_cast<int>(data_.size() - position_));
    std::copy_n(data_.begin() + position_, count, buffer);
    position_ += count;
    if (position_ == data_.size()) *atEnd = 1;
    return count;
  }
  void begin() override { ++begins; }
  void end() override { ++ends; }
  int begins = 0;
  int ends = 0;

 private:
  std::vector<uint8_t> data_;
  size_t position_ = 0;
  bool failReads_;
};

TEST(JpegDecoder, StreamIsReleasedOnceOnFailureOrDestruction) {
  RecordingStream good(validGrey());
  {
    JpegDecoder decoder(&good, true);
    EXPECT_EQ(decoder.start(), JpegError::kNone);
  }
  EXPECT_EQ(good.begins, 1);
  EXPECT_EQ(good.ends, 1);

  RecordingStream failing(validGrey(), true);
  {
    JpegDecoder decoder(&failing, true);
    EXPECT_EQ(decoder.errorCode(), JpegError::kReadError);
    EXPECT_EQ(decoder.start(), JpegError::kReadError);
    EXPECT_EQ(failing.ends, 1);
  }
  EXPECT_EQ(failing.ends, 1);
}

struct ErrorCase {
  const char* name;
  std::vector<uint8_t> stream;
  int32_t code;
};

std::vector<ErrorCase> errorCases() {
  std::vector<int> symbolList(256, 0);
  std::vector<ErrorCase> cases = {
      {"too many codes", greyHeaders().dht(0, 1, {255, 1}, symbolList).data, -200},
      {"over-subscribed codes", greyHeaders().dht(0, 1, {3}, {0, 1, 2}).data, -200},
      {"over-subscribed long codes",
       greyHeaders().dht(1, 1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 200}, symbolList).data,
       -200},
      {"huffman slot", greyHeaders().dht(1, 4, {1}, {0}).data, -201},
      {"huffman length 1", StreamBuilder().soi().bytes({0xFF, 0xC4, 0, 1}).data, -202},
      {"huffman segment short",
       StreamBuilder()
           .soi()
           .bytes({0xFF, 0xC4, 0, 19, 0x00, 1})
           .bytes({0, 0, 0, 0, 0, 0, 0, 0})
           .bytes({0, 0, 0, 0, 0, 0, 0, 0, 5})
           .data,
       -202},
      {"quantisation length 1", StreamBuilder().soi().bytes({0xFF, 0xDB, 0, 1}).data, -203},
      {"quantisation number 4", StreamBuilder().soi().dqt(4).data, -204},
      {"precision 12", StreamBuilder().soi().sof(kSof0, 8, 8, {{1, 1, 1, 0}}, 12).data, -205},
      {"height 0", StreamBuilder().soi().sof(kSof0, 8, 0, {{1, 1, 1, 0}}).data, -206},
      {"width 0", StreamBuilder().soi().sof(kSof0, 0, 8, {{1, 1, 1, 0}}).data, -207},
      {"five components",
       StreamBuilder()
           .soi()
           .sof(kSof0, 8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 1, 0}, {5, 1, 1, 0}})
           .data,
       -208},
      {"frame length",
       StreamBuilder().soi().bytes({0xFF, 0xC0, 0, 12, 8, 0, 8, 0, 8, 1, 1, 0x11, 0}).data, -209},
      {"segment length 1", StreamBuilder().soi().bytes({0xFF, 0xE0, 0, 1}).data, -210},
      {"segment length 0", StreamBuilder().soi().bytes({0xFE, 0xFF, 0xFE, 0, 0}).data, -210},
      {"restart length 5", StreamBuilder().soi().bytes({0xFF, 0xDD, 0, 5, 0, 1, 0}).data, -211},
      {"scan with no component", greyHeaders().bytes({0xFF, 0xDA, 0, 6, 0, 0, 63, 0}).data, -212},
      {"scan length", greyHeaders().bytes({0xFF, 0xDA, 0, 9, 1, 1, 0, 0, 63, 0}).data, -212},
      {"sequential scan naming one component twice",
       colourHeaders().sos({{1, 0, 0}, {1, 0, 0}, {2, 0, 0}}).bits("0").data, -212},
      {"sequential scans that leave out a component",
       colourHeaders().sos({{1, 0, 0}}).bits("000").sos({{3, 0, 0}}).bits("000").eoi().data, -236},
      {"sequential scans naming a component twice",
       colourHeaders().sos({{1, 0, 0}}).bits("000").sos({{1, 0, 0}, {2, 0, 0}}).bits("000").data,
       -212},
      {"progressive scan with too many blocks",
       colourHeaders(kSof2, 2, 2).sos({{1, 0, 0}, {1, 0, 0}}, 0, 0).bits("0").data, -212},
      {"unknown scan component", greyHeaders().sos({{9, 0, 0}}).data, -213},
      {"arithmetic DC bounds L above U",
       StreamBuilder().soi().bytes({0xFF, 0xCC, 0, 4, 0x00, 0x23}).data, -235},
      {"arithmetic AC split 0", StreamBuilder().soi().bytes({0xFF, 0xCC, 0, 4, 0x10, 0}).data,
       -235},
      {"arithmetic table number 4",
       StreamBuilder().soi().bytes({0xFF, 0xCC, 0, 4, 0x04, 0x10}).data, -235},
      {"arithmetic table class 2", StreamBuilder().soi().bytes({0xFF, 0xCC, 0, 4, 0x20, 5}).data,
       -235},
      {"restart marker between segments", StreamBuilder().soi().bytes({0xFF, 0xD3}).data, -216},
      {"TEM between segments", StreamBuilder().soi().bytes({0xFF, 0x01}).data, -216},
      {"JPG marker", StreamBuilder().soi().bytes({0xFF, 0xC8}).data, -216},
      {"EOI before the scan", greyHeaders().eoi().data, -216},
      {"frame where a scan belongs", greyHeaders().sof(kSof0, 8, 8, {{1, 1, 1, 0}}).data, -216},
      {"progressive: frame where a scan belongs",
       greyHeaders(8, 8, kSof2).sof(kSof0, 8, 8, {{1, 1, 1, 0}}).data, -216},
      {"no SOI", std::vector<uint8_t>(600, 0x12), -217},
      {"SOI not followed by a marker", StreamBuilder().bytes({0, 0xFF, 0xD8, 0x12}).data, -217},
      {"lossless frame", StreamBuilder().soi().sof(0xC3, 8, 8, {{1, 1, 1, 0}}).data, -218},
      {"lossless arithmetic frame", StreamBuilder().soi().sof(0xCB, 8, 8, {{1, 1, 1, 0}}).data,
       -218},
      {"hierarchical frame", StreamBuilder().soi().sof(0xC5, 8, 8, {{1, 1, 1, 0}}).data, -218},
      {"scan before a frame", StreamBuilder().soi().sos({{1, 0, 0}}).data, -218},
      {"EOI before a frame", StreamBuilder().soi().eoi().data, -218},
      {"quantisation segment short",
       StreamBuilder().soi().bytes({0xFF, 0xDB, 0, 67, 0x10}).bytes({1, 1, 1}).data, -219},
      {"quantisation table missing",
       StreamBuilder()
           .soi()
           .dqt(0)
           .sof(kSof0, 8, 8, {{1, 1, 1, 1}})
           .dht(0, 0, {1}, {0})
           .dht(1, 0, {1}, {0})
           .sos({{1, 0, 0}})
           .bits("00")
           .data,
       -222},
      {"quantisation number above 3",
       StreamBuilder()
           .soi()
           .dqt(0)
           .sof(kSof0, 8, 8, {{1, 1, 1, 7}})
           .dht(0, 0, {1}, {0})
           .dht(1, 0, {1}, {0})
           .sos({{1, 0, 0}})
           .bits("00")
           .data,
       -222},
      {"progressive component never scanned lacks its table",
       StreamBuilder()
           .soi()
           .dqt(0)
           .sof(kSof2, 8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 2}})
           .dht(0, 0, {1}, {0})
           .sos({{1, 0, 0}, {2, 0, 0}}, 0, 0)
           .bits("00")
           .eoi()
           .data,
       -222},
      {"DC table missing", greyHeaders().sos({{1, 1, 0}}).bits("000").data, -223},
      {"AC table missing", greyHeaders().sos({{1, 0, 2}}).bits("000").data, -223},
      {"DC table number above 3", greyHeaders().sos({{1, 5, 0}}).bits("000").data, -223},
      {"AC table number above 3", greyHeaders().sos({{1, 0, 9}}).bits("000").data, -223},
      {"DC refinement needs its table",
       greyHeaders(8, 8, kSof2)
           .sos({{1, 0, 0}}, 0, 0)
           .bits("0")
           .sos({{1, 3, 0}}, 0, 0, 1, 0)
           .bits("1")
           .eoi()
           .data,
       -223},
      {"two components", StreamBuilder().soi().sof(kSof0, 8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}}).data,
       -225},
      {"four components, one sampled 1x5",
       StreamBuilder()
           .soi()
           .sof(kSof0, 8, 8, {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {4, 1, 5, 0}})
           .data,
       -226},
      {"no components", StreamBuilder().soi().sof(kSof0, 8, 8, {}).data, -225},
      {"luma 5x1", colourHeaders(kSof0, 5, 1).data, -226},
      {"chroma 1x5", colourHeaders(kSof0, 1, 1, 1, 5).data, -226},
      {"sequential MCU of more than 10 blocks",
       colourHeaders(kSof0, 4, 3).sos({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}).bits("0").data, -212},
      {"zero sampling factor, colour", colourHeaders(kSof0, 0, 1).data, -226},
      {"zero sampling factor, grey",
       StreamBuilder().soi().dqt(0).sof(kSof0, 8, 8, {{1, 0, 1, 0}}).data, -226},
      {"ZRL at 50",
       greyHeaders()
           .sos({{1, 0, 0}})
           .bits("0"
                 "10"
                 "0"
                 "110"
                 "1"
                 "01"
                 "01"
                 "01"
                 "00")
           .eoi()
           .data,
       -227},
      {"DC category 17",
       greyHeaders()
           .sos({{1, 0, 0}})
           .bits("110"
                 "00")
           .eoi()
           .data,
       -227},
      {"run past 63",
       greyHeaders()
           .sos({{1, 0, 0}})
           .bits("0"
                 "01"
                 "01"
                 "01"
                 "110"
                 "1"
                 "110"
                 "1")
           .eoi()
           .data,
       -227},
      {"restart marker missing",
       greyHeaders(16, 8)
           .dri(1)
           .sos({{1, 0, 0}})
           .bits("000"
                 "000")
           .eoi()
           .data,
       -228},
      {"restart marker out of order",
       greyHeaders(16, 8)
           .dri(1)
           .sos({{1, 0, 0}})
           .bits("000")
           .bytes({0xFF, 0xD1})
           .bits("000")
           .eoi()
           .data,
       -228},
      {"progressive DC scan with Se 1", greyHeaders(8, 8, kSof2).sos({{1, 0, 0}}, 0, 1).data, -230},
      {"progressive AC scan of two components",
       colourHeaders(kSof2).sos({{1, 0, 0}, {2, 0, 0}}, 1, 5).data, -230},
      {"progressive Ss above Se", greyHeaders(8, 8, kSof2).sos({{1, 0, 0}}, 5, 3).data, -230},
      {"progressive Se above 63", greyHeaders(8, 8, kSof2).sos({{1, 0, 0}}, 1, 64).data, -230},
      {"refinement Ah 2 Al 0", greyHeaders(8, 8, kSof2).sos({{1, 0, 0}}, 0, 0, 2, 0).data, -231},
      {"AC refinement with size 2",
       greyHeaders(8, 8, kSof2)
           .dht(1, 1, {1}, {0x02})
           .sos({{1, 0, 1}}, 1, 63, 1, 0)
           .bits("0")
           .eoi()
           .data,
       -227},
  };
  // The restart search gives up after 1536 junk bytes. The entropy reader loads a few
  // bytes ahead, which the search never sees, so the limit is probed with a margin.
  const auto junkBeforeRestart = [](int count) {
    StreamBuilder b = greyHeaders(16, 8).dri(1).sos({{1, 0, 0}}).bits("000");
    for (int i = 0; i < count; ++i) b.bytes({0x55});
    return b.bytes({0xFF, 0xD0}).bits("000").eoi().data;
  };
  cases.push_back({"restart after 1520 junk bytes", junkBeforeRestart(1520), 0});
  cases.push_back({"restart after 1545 junk bytes", junkBeforeRestart(1545), -228});
  return cases;
}

// A failure in a later scan of a progressive picture, or of a sequential one whose
// components come in separate scans, shows as damage, with the rows of the scans before.
TEST(JpegDecoder, EveryFailureCodeFromAHandMadeStream) {
  for (const ErrorCase& c : errorCases()) {
    for (bool fast : {true, false}) {
      const Decoded d = decodeMemory(c.stream, fast);
      EXPECT_EQ(d.error != 0 ? d.error : d.damage, c.code)
          << c.name << (fast ? " (fast)" : " (plain)");
      if (d.error != 0 && d.startResult == JpegError::kNone) {
        EXPECT_EQ(d.lastRowResult, JpegRowResult::kFailed) << c.name;
      }
    }
  }
}

TEST(JpegBlockPool, RunsOutOfSlotsAndMemory) {
  JpegBlockPool pool;
  JpegError error = JpegError::kNone;
  for (int i = 0; i < JpegBlockPool::kSlots; ++i) {
    uint8_t* block = pool.allocate(24, error);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u);
    for (int k = 0; k < 24; ++k) EXPECT_EQ(block[k], 0);
  }
  EXPECT_EQ(pool.allocate(24, error), nullptr);
  EXPECT_EQ(error, JpegError::kNoFreeSlot);
  pool.releaseAll();
  error = JpegError::kNone;
  EXPECT_EQ(pool.allocate(SIZE_MAX - 4, error), nullptr);
  EXPECT_EQ(error, JpegError::kOutOfMemory);
  EXPECT_NE(pool.allocate(8, error), nullptr);  // the failed slot is free again
}

TEST(JpegDecoder, ToleratedDefects) {
  // Junk before SOI (511 bytes), bytes and fill bytes between segments, unknown
  // segments, no EOI.
  const std::vector<uint8_t> headers = greyHeaders().data;
  StreamBuilder b;
  for (int i = 0; i < 511; ++i) b.bytes({0x20});
  b.soi().bytes({0xFF, 0xE1}).word(5).bytes({1, 2, 3}).bytes({0x33, 0x44, 0xFF, 0x00});
  b.bytes({0xFF, 0xFF, 0xFE}).word(2);
  b.data.insert(b.data.end(), headers.begin() + 2, headers.end());
  b.sos({{1, 0, 0}}).bits("000");
  const Decoded d = decodeMemory(b.data);
  EXPECT_EQ(d.error, 0);
  EXPECT_EQ(d.rowsRead, 8);

  // SOI at offset 512 is beyond the search.
  StreamBuilder late;
  for (int i = 0; i < 512; ++i) late.bytes({0x20});
  const std::vector<uint8_t> valid = validGrey();
  late.data.insert(late.data.end(), valid.begin(), valid.end());
  EXPECT_EQ(decodeMemory(late.data).error, -217);
}

TEST(JpegEntropy, LongCodesInvalidCodesAndRuns) {
  // AC table with codes longer than 8 bits: 1 code of length 1 (EOB), then one of each
  // length 2..15, the last few on the tree. "1111111111111110" (16 bits) is size 1, run 0.
  std::vector<int> counts(16, 1);
  counts[15] = 1;
  std::vector<int> symbols = {0x00, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                              0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x01};
  StreamBuilder b;
  b.soi().dqt(0, 8).sof(kSof0, 8, 8, {{1, 1, 1, 0}});
  b.dht(0, 0, {1, 1}, {0, 1});
  b.dht(1, 0, counts, symbols);
  // DC 0; AC: 16-bit code for (0,1) with bit 1 -> +1 at k = 1; then EOB.
  const std::vector<uint8_t> viaTree = StreamBuilder(b)
                                           .sos({{1, 0, 0}})
                                           .bits(
                                               "0"
                                               "1111111111111110"
                                               "1"
                                               "0")
                                           .eoi()
                                           .data;
  const Decoded tree = decodeMemory(viaTree, false);
  ASSERT_EQ(tree.error, 0);
  // 16 one-bits match no code: they decode as symbol 0 (EOB), so the block is flat.
  const std::vector<uint8_t> invalid = StreamBuilder(b)
                                           .sos({{1, 0, 0}})
                                           .bits(
                                               "0"
                                               "1111111111111111"
                                               "0")
                                           .eoi()
                                           .data;
  const Decoded flat = decodeMemory(invalid, false);
  ASSERT_EQ(flat.error, 0);
  for (uint8_t p : flat.pixels) EXPECT_EQ(p, 128);
  // The first horizontal frequency: left half brighter than the right.
  EXPECT_GT(tree.pixels[0], tree.pixels[7]);
  EXPECT_EQ(tree.pixels[0], tree.pixels[8 * 7]);
}

TEST(JpegEntropy, ZrlReachingPosition64EndsTheBlock) {
  // Fifteen (run 0, size 1) codes and two ZRLs bring k to 48; a third ZRL ends the block
  // at 64 without an EOB. One more (0, 1) first puts that ZRL at 49, past the end.
  std::string toFortyEight = "0";
  for (int i = 0; i < 15; ++i) toFortyEight += "101";
  toFortyEight += "0101";
  EXPECT_EQ(decodeMemory(greyHeaders().sos({{1, 0, 0}}).bits(toFortyEight + "01").eoi().data).error,
            0);
  EXPECT_EQ(decodeMemory(greyHeaders()
                             .sos({{1, 0, 0}})
                             .bits(toFortyEight + "101"
                                                  "01")
                             .eoi()
                             .data)
                .error,
            -227);
}

TEST(JpegEntropy, RestartMarkersRunZeroToSevenAndWrap) {
  StreamBuilder b = greyHeaders(80, 8).dri(1).sos({{1, 0, 0}});
  for (int i = 0; i < 10; ++i) {
    if (i > 0) b.bytes({0xFF, 0xD0 + (i - 1) % 8});
    b.bits(i % 2 ? "10"
                   "1"
                   "00"
                 : "10"
                   "0"
                   "00");  // DC +1 / -1 alternately, predictor reset
  }
  const Decoded d = decodeMemory(b.eoi().data);
  ASSERT_EQ(d.error, 0);
  // Each block's DC is +1 or -1 alone (the predictor restarts at every marker).
  EXPECT_GT(d.pixels[8], d.pixels[0]);
  EXPECT_EQ(d.pixels[16], d.pixels[0]);
  EXPECT_EQ(d.pixels[72], d.pixels[8]);
}

TEST(JpegEntropy, FileEndingWhereARestartBelongs) {
  const std::vector<uint8_t> file = greyHeaders(16, 8).dri(1).sos({{1, 0, 0}}).bits("000").data;
  EXPECT_EQ(decodeMemory(file).error, -228);
}

// Hostile progressive pictures of 128 x 128 blocks: the scan cap holds, a scan without
// data ends the decoding, and end-of-band runs do not cost work for every block they cover.
TEST(JpegProgressiveWork, ScanCapAndEndOfBandRunsBoundTheWork) {
  constexpr int kMaxScans = JpegProgressiveDecoder::kMaxScans;
  const auto picture = [](int scans, const std::function<void(StreamBuilder&, int)>& scan) {
    StreamBuilder b;
    b.soi().dqt(0).sof(kSof2, 1024, 1024, {{1, 1, 1, 0}});
    // DC: "0" = category 0. AC: "0" = end-of-band run of 2^14 + 14 bits, "10" = (0, 1).
    b.dht(0, 0, {1}, {0}).dht(1, 0, {1, 2}, {0xE0, 0x01, 0x00});
    for (int i = 0; i < scans; ++i) scan(b, i);
    return b.eoi().data;
  };
  const auto emptyRefinement = [](StreamBuilder& b, int) { b.sos({{1, 0, 0}}, 1, 63, 1, 0); };
  const auto emptyDc = [](StreamBuilder& b, int) { b.sos({{1, 0, 0}}, 0, 0); };
  // A first scan gives block 0 one coefficient; each refinement then corrects it and
  // covers the other 16383 blocks with one end-of-band run.
  const std::string longestRun = "0" + std::string(14, '1');
  const auto runs = [&](StreamBuilder& b, int i) {
    if (i == 0) {
      b.sos({{1, 0, 0}}, 1, 1, 0, 1)
          .bits(
              "10"
              "1" +
              longestRun);
    } else {
      b.sos({{1, 0, 0}}, 1, 63, 1, 0).bits(longestRun + "1");
    }
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> stream;
    JpegError error;
    JpegError damage;
    int scans;
    int64_t maximumSteps;
  };
  const Case cases[] = {
      {"empty refinements", picture(kMaxScans, emptyRefinement), JpegError::kNone,
       JpegError::kCorruptData, 1, 0},
      {"empty DC scans", picture(kMaxScans, emptyDc), JpegError::kNone, JpegError::kCorruptData, 1,
       0},
      {"end-of-band runs up to the cap", picture(kMaxScans, runs), JpegError::kNone,
       JpegError::kNone, kMaxScans, 2 * kMaxScans},
      {"one scan past the cap", picture(kMaxScans + 1, runs), JpegError::kTooManyScans,
       JpegError::kNone, kMaxScans + 1, 2 * kMaxScans},
  };
  for (const Case& c : cases) {
    JpegMemoryStream stream(c.stream.data(), c.stream.size());
    auto decoder = std::make_unique<JpegDecoder>(&stream, true);
    decoder->start();
    EXPECT_EQ(decoder->errorCode(), c.error) << c.name;
    EXPECT_EQ(decoder->damage(), c.damage) << c.name;
    EXPECT_EQ(decoder->progressive().scans(), c.scans) << c.name;
    EXPECT_LE(decoder->progressive().coefficientSteps(), c.maximumSteps) << c.name;
  }
}

}  // namespace
}  // namespace vz
