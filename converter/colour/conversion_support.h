// Helpers shared by the conversions: which documents they can work on, zeroed
// buffers that fail softly, reading source rows as colours, and packing output rows.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/vector_lanes.h"
#include "converter/colour/tvc_palette.h"
#include "converter/model/document.h"

namespace vz {

// The document holds pixels the conversions can walk: a picture of at least one row
// and one column, in a valid mode, whose buffer covers every row at its stride.
bool hasConvertiblePicture(const ImageDocument& doc);

// True colour or an indexed mode read through the palette: 4, 8, 16 and 32..256.
// 1-bit pictures are not read by the conversions that use this.
bool readsAsColours(ColourMode colourMode);

// Calls visit(x, red, green, blue) for the first `width` pixels of a row in a
// colour mode for which readsAsColours holds.
template <typename Visit>
void forEachPixelColour(const ImageDocument& doc, const uint8_t* row, Visit visit) {
  const int32_t width = doc.width;
  if (doc.colourMode == ColourMode::kTrueColour) {
    for (int32_t x = 0; x < width; ++x, row += 3) visit(x, row[2], row[1], row[0]);
  } else if (bitsPerPixel(doc.colourMode) == 4) {
    for (int32_t x = 0; x < width; ++x) {
      const ColourValue c = doc.palette[(x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4];
      visit(x, redOf(c), greenOf(c), blueOf(c));
    }
  } else {
    for (int32_t x = 0; x < width; ++x) {
      const ColourValue c = doc.palette[row[x]];
      visit(x, redOf(c), greenOf(c), blueOf(c));
    }
  }
}

// greyLevelOf with its three products looked up: the same additions in the same order, so
// the same bits, without the multiplications.
class GreyLevelTable {
 public:
  GreyLevelTable();
  int of(int red, int green, int blue) const {
    return static_cast<int>(blue_[blue] + green_[green] + red_[red]);
  }

 private:
  double blue_[256];
  double green_[256];
  double red_[256];
};
const GreyLevelTable& greyLevelTable();

// Fills an output row with 1- or 4-bit pixel values, first pixel in the top bits.
// A partly filled last byte keeps its low bits 0.
class PackedRowWriter {
 public:
  PackedRowWriter(uint8_t* row, int bitsPerPixel)
      : out_(row), bits_(bitsPerPixel), perByte_(8 / bitsPerPixel) {}
  void append(unsigned value) {
    pending_ = (pending_ << bits_) | value;
    if (++count_ == perByte_) {
      *out_++ = static_cast<uint8_t>(pending_);
      pending_ = 0;
      count_ = 0;
    }
  }
  void finish() {
    if (count_ != 0) *out_ = static_cast<uint8_t>(pending_ << (bits_ * (perByte_ - count_)));
  }

 private:
  uint8_t* out_;
  int bits_;
  int perByte_;
  unsigned pending_ = 0;
  int count_ = 0;
};

// Installs a converted buffer in the document.
void installPixels(ImageDocument& doc, std::vector<uint8_t>&& pixels, int32_t rowStride,
                   ColourMode colourMode);

// The colour mode a dither of `kind` (a DitherKind) makes: 2, 4 or 16 colours; an
// interlaced 4-colour picture keeps its two row sets in 16.
ColourMode ditheredColourMode(int kind, bool interlaced);

// The nearest-in-list answer (CMYK distance, ties to the lowest index), found by evaluating only
// the candidates that can win. The unscaled black difference dominates: the cyan, magenta and
// yellow terms add at most 3, so a candidate whose squared black difference exceeds the smallest
// one by more than 3 always loses, and which candidates remain depends only on the colour's black
// component. The ones that remain are compared with the very same arithmetic as the
// plain search, in index order, so the answer is identical bit for bit.
//
// Candidates whose cyan, magenta and yellow are each 0 or 1, as every TVC colour's are, are
// first compared in exact integers. With the colour's black component k, r = 255 - k > 0 and
// its quotients q = n / r, a candidate's distance is q.q + (k - its k)^2 + the sum over its
// components that are 1 of (1 - 2q). Times r, less what every candidate shares, that is
//   E = r x (squared black difference beyond the smallest + components that are 1)
//       - 2 x (the n of its components that are 1),
// an integer. Two distances that differ do so by at least 1/255, while the rounding of the
// plain arithmetic stays below 1e-11; so the one smallest E is the plain search's answer.
// When several share the smallest E, the plain arithmetic's rounding decides, and is asked.
class NearestColourSearch {
 public:
  NearestColourSearch(const ColourValue* candidates, int count);
  // Inlined: Floyd-Steinberg waits for each answer, and a call adds to every wait.
  [[gnu::always_inline]] int nearest(ColourValue colour) const {
    if (!binaryForms_) return nearestByDistances(colour);
    const int inverseRed = 255 - redOf(colour);
    const int inverseGreen = 255 - greenOf(colour);
    const int inverseBlue = 255 - blueOf(colour);
    int k = inverseRed < inverseGreen ? inverseRed : inverseGreen;
    k = inverseBlue < k ? inverseBlue : k;
    if (k == 255) return nearestOfBlack_;
    const Lanes& lanes = lanesOfBlack_[static_cast<size_t>(k)];
    const simd::Int16x8 range = simd::broadcastInt16(static_cast<int16_t>(255 - k));
    const simd::Int16x8 cyan = simd::broadcastInt16(static_cast<int16_t>(2 * (inverseRed - k)));
    const simd::Int16x8 magenta =
        simd::broadcastInt16(static_cast<int16_t>(2 * (inverseGreen - k)));
    const simd::Int16x8 yellow = simd::broadcastInt16(static_cast<int16_t>(2 * (inverseBlue - k)));
    simd::Int16x8 e[2];
    for (int half = 0; half < 2; ++half) {
      const simd::Int16x8 ones = simd::add(simd::add(simd::bitAnd(lanes.cyan[half], cyan),
                                                     simd::bitAnd(lanes.magenta[half], magenta)),
                                           simd::bitAnd(lanes.yellow[half], yellow));
      e[half] = simd::subtract(simd::multiplyLow(range, lanes.weight[half]), ones);
    }
    // The smallest E in every lane, then which lanes hold it.
    const simd::Int16x8 smallest = simd::smallestInEveryLane(simd::minimum(e[0], e[1]));
    const unsigned holders = simd::equalLanes(e[0], e[1], smallest);
    if (holders & (holders - 1)) return nearestByDistances(colour);
    return lanes.index[__builtin_ctz(holders)];
  }

 private:
  // The same answer by the plain arithmetic on the contenders.
  int nearestByDistances(ColourValue colour) const;

  static constexpr int kMaxCandidates = 16;
  // The candidates that can win for one black component, in index order, as columns
  // of their CMYK forms; an odd count is padded with a copy of the last one.
  struct Contenders {
    alignas(16) double c[kMaxCandidates];
    alignas(16) double m[kMaxCandidates];
    alignas(16) double y[kMaxCandidates];
    alignas(16) double k[kMaxCandidates];
    uint8_t index[kMaxCandidates];
    int count = 0;
    int paddedCount = 0;
  };
  // The contenders of one black component as 16-bit lanes for the integer comparison: the
  // weight r multiplies, and all ones where a component is 1. Lanes past the contenders
  // weigh 128 with no components, which keeps their E above every contender's.
  struct Lanes {
    simd::Int16x8 weight[2];
    simd::Int16x8 cyan[2];
    simd::Int16x8 magenta[2];
    simd::Int16x8 yellow[2];
    uint8_t index[kMaxCandidates];
  };
  static const double* quotientRows();
  const double* quotients_ = quotientRows();
  std::vector<Contenders> contenders_;
  uint8_t contendersOfBlack_[256];
  bool binaryForms_ = true;
  std::vector<Lanes> lanesOfBlack_;
  int nearestOfBlack_ = 0;
};

// Runs work(0) .. work(count - 1) at once, each on a thread of its own; the calling thread
// runs work(0). Work whose thread cannot be started runs on the calling thread after its own.
void runOnThreads(int count, const std::function<void(int)>& work);

// Splits rows 0 .. rows - 1 into at most `threads` bands of consecutive rows and runs
// work(begin, end) for every band at once.
void forEachRowBand(int32_t rows, int threads,
                    const std::function<void(int32_t begin, int32_t end)>& work);

}  // namespace vz
