// Helpers shared by the conversions: which documents they can work on, zeroed
// buffers that fail softly, reading source rows as colours, and packing output rows.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <emmintrin.h>

#include "converter/colour/tvc_palette.h"
#include "converter/model/document.h"

namespace vz {

// The document holds pixels the conversions can walk: a picture of at least one row
// and one column, in a valid mode, whose buffer covers every row at its stride.
bool hasConvertiblePicture(const ImageDocument& doc);

// True colour or an indexed mode read through the palette: 4, 8, 16 and 32..256.
// 1-bit pictures are not read by the conversions that use this.
bool readsAsColours(int32_t colourMode);

// Calls visit(x, red, green, blue) for the first `width` pixels of a row in a
// colour mode for which readsAsColours holds.
template <typename Visit>
void forEachPixelColour(const ImageDocument& doc, const uint8_t* row, Visit visit) {
  const int32_t width = doc.width;
  if (doc.colourMode == kTrueColour) {
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
                   int32_t colourMode);

// The nearest-in-list answer (CMYK distance, ties to the lowest index), found by evaluating only
// the candidates that can win. The unscaled black difference dominates: the cyan, magenta and
// yellow terms add at most 3, so a candidate whose squared black difference exceeds the smallest
// one by more than 3 always loses, and which candidates remain depends only on the colour's black
// component. The ones that remain are compared with the very same arithmetic as the
// plain search, in index order, so the answer is identical bit for bit.
class NearestColourSearch {
 public:
  NearestColourSearch(const ColourValue* candidates, int count);
  int nearest(ColourValue colour) const {
    const int inverseRed = 255 - redOf(colour);
    const int inverseGreen = 255 - greenOf(colour);
    const int inverseBlue = 255 - blueOf(colour);
    int k = inverseRed < inverseGreen ? inverseRed : inverseGreen;
    k = inverseBlue < k ? inverseBlue : k;
    // The quotients (inverse - k) / (255 - k), looked up rather than divided; row 0
    // (pure black) holds the zeros the rule gives it.
    const double* quotients = quotients_ + (255 - k) * 256;
    const double c = quotients[inverseRed - k];
    const double m = quotients[inverseGreen - k];
    const double y = quotients[inverseBlue - k];

    const Contenders& list = contenders_[contendersOfBlack_[static_cast<size_t>(k)]];
    alignas(16) double distances[kMaxCandidates];
    const double black = k;
    // Two candidates at a time; the packed operations round exactly like the scalar
    // ones, term by term in the same order.
    const __m128d vc = _mm_set1_pd(c), vm = _mm_set1_pd(m), vy = _mm_set1_pd(y);
    const __m128d vk = _mm_set1_pd(black);
    for (int i = 0; i < list.paddedCount; i += 2) {
      const __m128d dc = _mm_sub_pd(vc, _mm_load_pd(list.c + i));
      const __m128d dm = _mm_sub_pd(vm, _mm_load_pd(list.m + i));
      const __m128d dy = _mm_sub_pd(vy, _mm_load_pd(list.y + i));
      const __m128d dk = _mm_sub_pd(vk, _mm_load_pd(list.k + i));
      __m128d sum = _mm_add_pd(_mm_mul_pd(dc, dc), _mm_mul_pd(dm, dm));
      sum = _mm_add_pd(sum, _mm_mul_pd(dy, dy));
      sum = _mm_add_pd(sum, _mm_mul_pd(dk, dk));
      _mm_store_pd(distances + i, sum);
    }
    // Written without branches: which candidate wins is unpredictable.
    int best = 0;
    double bestDistance = distances[0];
    for (int i = 1; i < list.count; ++i) {
      const bool closer = distances[i] < bestDistance;
      best = closer ? i : best;
      bestDistance = closer ? distances[i] : bestDistance;
    }
    return list.index[best];
  }

 private:
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
  static const double* quotientRows();
  const double* quotients_ = quotientRows();
  std::vector<Contenders> contenders_;
  uint8_t contendersOfBlack_[256];
};

// Runs work(0) .. work(count - 1) at once, each on a thread of its own; the calling thread
// runs work(0). Work whose thread cannot be started runs on the calling thread after its own.
void runOnThreads(int count, const std::function<void(int)>& work);

// Splits rows 0 .. rows - 1 into at most `threads` bands of consecutive rows and runs
// work(begin, end) for every band at once.
void forEachRowBand(int32_t rows, int threads,
                    const std::function<void(int32_t begin, int32_t end)>& work);

}  // namespace vz
