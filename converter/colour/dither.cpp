// Ordered (8x8 Bayer) and Floyd-Steinberg dithering to 2, 4 and 16 TVC colours.
#include <algorithm>
#include <array>
#include <atomic>
#include <new>
#include <thread>

#include "base/vector_lanes.h"
#include "converter/colour/conversion_support.h"
#include "converter/colour/conversions.h"

namespace vz {

namespace {

const uint8_t kBayerMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

// TVC indices holding each channel; the two whites (7, 15) are in none.
const uint8_t kColoursWithRed[6] = {2, 3, 6, 10, 11, 14};
const uint8_t kColoursWithGreen[6] = {4, 5, 6, 12, 13, 14};
const uint8_t kColoursWithBlue[6] = {1, 3, 5, 9, 11, 13};

int bitsPerOutputPixel(int kind) {
  return kind == kDitherTwoColours ? 1 : 4;
}

int32_t outputStride(int kind, int32_t width) {
  return static_cast<int32_t>(rowStrideFor(
      kind == kDitherTwoColours ? ColourMode::kColours2 : ColourMode::kColours16, width));
}

bool canDither(const ImageDocument& doc, int kind) {
  return kind >= kDitherTwoColours && kind <= kDitherSixteenColours && hasConvertiblePicture(doc) &&
         readsAsColours(doc.colourMode);
}

Status cannotDither() {
  return Status(StatusCode::kNotApplicable,
                "dithering needs a true-colour picture or one of 4 to 256 colours");
}

// The TVC index an ordered-dither pixel gets at matrix value m: intensity from the
// grey level of the 6-bit channels, then green, red and blue each against m.
uint8_t orderedSixteenColourPixel(const GreyLevelTable& grey, int red, int green, int blue, int m) {
  const int red6 = red / 4, green6 = green / 4, blue6 = blue / 4;
  const int grey6 = grey.of(red6, green6, blue6);
  return static_cast<uint8_t>((grey6 > m) << 3 | (green6 > m) << 2 | (red6 > m) << 1 | (blue6 > m));
}

bool containsAny(const uint8_t* list, const uint8_t* indices, int count) {
  for (int i = 0; i < count; ++i)
    if (std::find(list, list + 6, indices[i]) != list + 6) return true;
  return false;
}

struct GreyingFlags {
  bool noRed = false;
  bool noGreen = false;
  bool noBlue = false;
  bool any() const { return noRed || noGreen || noBlue; }
};

// Rows dithered together (see floydSteinbergDither).
constexpr int kRowsTogether = 4;

// Rows of red, green, blue values, one 16-bit lane each plus an unused fourth lane
// per pixel, so that one pixel's error is spread with a few vector operations. The
// values are clamped to 0..255 after every addition, exactly as bytes would be. A
// spare pixel after the last one swallows the errors pushed past the right edge,
// and one before the first takes the below-left share of pixel 0, which is never read.
// Row y uses line y modulo the count: enough lines for the rows of every group in
// progress, and the row below the last of them.
class LineBuffers {
 public:
  bool allocate(int32_t width, int count) {
    stride_ = 4 * (static_cast<size_t>(width) + 2);
    count_ = count;
    try {
      values_.assign(stride_ * static_cast<size_t>(count), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  int16_t* line(int32_t row) {
    return values_.data() + static_cast<size_t>(row % count_) * stride_ + 4;
  }

 private:
  std::vector<int16_t> values_;
  size_t stride_ = 0;
  int count_ = 1;
};

// How far each group of rows being dithered has come, for the group below it: the
// pixels done in its last row. Groups share slots round a ring; a group's values are
// group * (width + 1) + pixels done, so a slot's value only grows and a group never
// mistakes the values of one before it for its own.
class GroupProgress {
 public:
  GroupProgress(int slots, int32_t width)
      : slots_(static_cast<size_t>(slots)), span_(int64_t{width} + 1) {}
  void publish(int64_t group, int32_t done) {
    slot(group).store(group * span_ + done, std::memory_order_release);
  }
  // Waits until the group's last row has `done` pixels finished; returns how many it has.
  int32_t waitFor(int64_t group, int32_t done) const {
    const std::atomic<int64_t>& value = slot(group);
    int64_t seen = value.load(std::memory_order_acquire);
    for (int spins = 0; seen < group * span_ + done; ++spins) {
      if (spins < 200)
        simd::spinWaitHint();
      else
        std::this_thread::yield();  // the other thread may be waiting for a processor
      seen = value.load(std::memory_order_acquire);
    }
    return static_cast<int32_t>(std::min(seen - group * span_, span_ - 1));
  }

 private:
  struct alignas(64) Slot {  // one cache line each: the threads write different ones
    std::atomic<int64_t> value{0};
  };
  std::atomic<int64_t>& slot(int64_t group) {
    return slots_[static_cast<size_t>(group) % slots_.size()].value;
  }
  const std::atomic<int64_t>& slot(int64_t group) const {
    return slots_[static_cast<size_t>(group) % slots_.size()].value;
  }
  std::vector<Slot> slots_;
  int64_t span_;
};

void fillLineBuffer(const ImageDocument& doc, int32_t y, const GreyingFlags& greying,
                    int16_t* line) {
  forEachPixelColour(doc, doc.row(y), [&](int32_t x, uint8_t r, uint8_t g, uint8_t b) {
    int16_t* pixel = line + 4 * x;
    if ((greying.noRed && r > g && r > b) || (greying.noGreen && g > r && g > b) ||
        (greying.noBlue && b > r && b > g)) {
      const int16_t grey = static_cast<int16_t>(greyLevelOf(r, g, b));
      pixel[0] = pixel[1] = pixel[2] = grey;
    } else {
      pixel[0] = r;
      pixel[1] = g;
      pixel[2] = b;
    }
  });
}

// error * weight / 16 in every lane, truncated toward zero.
[[gnu::always_inline]] inline simd::Int16x8 weightedShare(simd::Int16x8 error,
                                                          simd::Int16x8 weights) {
  const simd::Int16x8 product = simd::multiplyLow(error, weights);
  const simd::Int16x8 towardZero =
      simd::bitAnd(simd::shiftRightArithmetic<15>(product), simd::broadcastInt16(15));
  return simd::shiftRightArithmetic<4>(simd::add(product, towardZero));
}

[[gnu::always_inline]] inline simd::Int16x8 clampToByte(simd::Int16x8 value) {
  return simd::minimum(simd::maximum(value, simd::broadcastInt16(0)), simd::broadcastInt16(255));
}

// One output row of Floyd-Steinberg: matches each pixel and spreads its error, a
// share of 7/16 to the right, 3/16 below-left, 5/16 below and 1/16 below-right.
struct RowDitherer {
  const NearestColourSearch* search = nullptr;
  const simd::Int16x8* candidateLanes = nullptr;  // each candidate's red, green, blue lanes
  int valueOffset = 0;
  PackedRowWriter writer{nullptr, 1};

  void pixel(int16_t* current, int16_t* next, int32_t x) {
    int16_t* here = current + 4 * x;
    const int chosen =
        search->nearest(makeColour(static_cast<uint8_t>(here[0]), static_cast<uint8_t>(here[1]),
                                   static_cast<uint8_t>(here[2])));
    const simd::Int16x8 error = simd::subtract(simd::loadLow4(here), candidateLanes[chosen]);
    const simd::Int16x8 errorTwice = simd::lowHalfTwice(error);

    int16_t* right = here + 4;
    simd::storeLow4(right, clampToByte(simd::add(simd::loadLow4(right),
                                                 weightedShare(error, simd::broadcastInt16(7)))));
    int16_t* belowPair = next + 4 * (x - 1);
    simd::store8(belowPair,
                 clampToByte(simd::add(
                     simd::load8(belowPair),
                     weightedShare(errorTwice, simd::int16Lanes(3, 3, 3, 3, 5, 5, 5, 5)))));
    int16_t* belowRight = next + 4 * (x + 1);
    simd::storeLow4(belowRight,
                    clampToByte(simd::add(simd::loadLow4(belowRight),
                                          weightedShare(error, simd::broadcastInt16(1)))));
    writer.append(static_cast<unsigned>(chosen + valueOffset));
  }
};

}  // namespace

Status orderedDither(ImageDocument& doc, const EffectSettings& settings, int kind, int threads) {
  if (!canDither(doc, kind)) return cannotDither();
  const int32_t stride = outputStride(kind, doc.width);
  std::vector<uint8_t> out;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(doc.height)))
    return StatusCode::kOutOfMemory;

  const GreyLevelTable& grey = greyLevelTable();
  const ImageDocument& in = doc;
  forEachRowBand(doc.height, threads, [&](int32_t begin, int32_t end) {
    for (int32_t y = begin; y < end; ++y) {
      uint8_t* target = out.data() + static_cast<size_t>(y) * stride;
      uint8_t m[8];  // the matrix values of this row, by x % 8
      for (int i = 0; i < 8; ++i) m[i] = kBayerMatrix[i][y % 8];
      if (kind == kDitherSixteenColours && in.colourMode == ColourMode::kTrueColour) {
        // The common case written out, two pixels a byte.
        const uint8_t* p = in.row(y);
        const int32_t width = in.width;
        int32_t x = 0;
        for (; x + 1 < width; x += 2, p += 6)
          target[x / 2] = static_cast<uint8_t>(
              orderedSixteenColourPixel(grey, p[2], p[1], p[0], m[x & 7]) << 4 |
              orderedSixteenColourPixel(grey, p[5], p[4], p[3], m[(x + 1) & 7]));
        if (x < width)
          target[x / 2] = static_cast<uint8_t>(
              orderedSixteenColourPixel(grey, p[2], p[1], p[0], m[x & 7]) << 4);
        continue;
      }
      PackedRowWriter writer(target, bitsPerOutputPixel(kind));
      forEachPixelColour(in, in.row(y), [&](int32_t x, uint8_t r, uint8_t g, uint8_t b) {
        if (kind == kDitherSixteenColours) {
          writer.append(orderedSixteenColourPixel(grey, r, g, b, m[x & 7]));
          return;
        }
        const int level = grey.of(r, g, b);
        if (kind == kDitherTwoColours) {
          writer.append(level / 4 > m[x & 7]);
        } else {
          const int v = level + m[x & 7];
          writer.append(v > 255 ? 3u : static_cast<unsigned>(v / 64));
        }
      });
      writer.finish();
    }
  });

  installPixels(doc, std::move(out), stride, ditheredColourMode(kind, false));
  if (kind == kDitherTwoColours)
    setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kTwoColourSet], 2);
  else if (kind == kDitherFourColours)
    setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kFourColourSet], 4);
  else
    setTvcPalette(doc);
  doc.interlaced = false;
  return StatusCode::kOk;
}

Status floydSteinbergDither(ImageDocument& doc, const EffectSettings& settings, int kind,
                            int threads) {
  if (!canDither(doc, kind)) return cannotDither();
  const bool interlaced = kind == kDitherFourColours && settings.interlacedFourColour;

  // Candidates as TVC indices; kind 0 dithers between black and white whatever the
  // 2-colour set holds, and the set only colours the result.
  uint8_t candidateIndices[16];
  int candidateCount = 0;
  if (kind == kDitherTwoColours) {
    candidateIndices[0] = 0;
    candidateIndices[1] = 15;
    candidateCount = 2;
  } else if (kind == kDitherFourColours) {
    for (int i = 0; i < 4; ++i)
      candidateIndices[i] = settings.colourChoices[static_cast<size_t>(kFourColourSet + i)] & 15;
    candidateCount = 4;
    if (interlaced) {
      for (int i = 0; i < 4; ++i)
        candidateIndices[4 + i] =
            settings.colourChoices[static_cast<size_t>(kEvenLineSet + i)] & 15;
      candidateCount = 8;
    }
  } else {
    for (int i = 0; i < 16; ++i) candidateIndices[i] = static_cast<uint8_t>(i);
    candidateCount = 16;
  }
  ColourValue candidates[16];
  for (int i = 0; i < candidateCount; ++i) candidates[i] = tvcColour(candidateIndices[i]);

  GreyingFlags greying;
  if (kind == kDitherFourColours) {
    greying.noRed = !containsAny(kColoursWithRed, candidateIndices, candidateCount);
    greying.noGreen = !containsAny(kColoursWithGreen, candidateIndices, candidateCount);
    greying.noBlue = !containsAny(kColoursWithBlue, candidateIndices, candidateCount);
  }

  const int32_t width = doc.width;
  const int32_t height = doc.height;
  const int32_t stride = outputStride(kind, width);
  const int64_t groups = (int64_t{height} + kRowsTogether - 1) / kRowsTogether;
  const int workers = static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(threads, groups)));
  std::vector<uint8_t> out;
  LineBuffers lines;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(height)) ||
      !lines.allocate(width, kRowsTogether * workers + 1))
    return StatusCode::kOutOfMemory;

  // Interlaced pictures match odd rows against the even-line set.
  const int setSize = kind == kDitherFourColours ? 4 : candidateCount;
  const NearestColourSearch firstSet(candidates, setSize);
  const NearestColourSearch evenLineSet(candidates + (interlaced ? 4 : 0), setSize);

  simd::Int16x8 candidateLanes[16]{};
  for (int i = 0; i < candidateCount; ++i)
    candidateLanes[i] = simd::int16Lanes(
        static_cast<int16_t>(redOf(candidates[i])), static_cast<int16_t>(greenOf(candidates[i])),
        static_cast<int16_t>(blueOf(candidates[i])), 0, 0, 0, 0, 0);
  const auto ditherRow = [&](int32_t k) {
    const bool oddSet = interlaced && (k & 1);
    RowDitherer row;
    row.search = oddSet ? &evenLineSet : &firstSet;
    row.candidateLanes = oddSet ? candidateLanes + 4 : candidateLanes;
    row.valueOffset = oddSet ? 4 : 0;
    row.writer =
        PackedRowWriter(out.data() + static_cast<size_t>(k) * stride, bitsPerOutputPixel(kind));
    return row;
  };
  // Each pixel waits for the error of the one before it, which leaves the processor
  // idle most of the time with one row. A group of rows is dithered together, each two
  // pixels behind the one above: by then every error it is owed from that row has
  // arrived, in the same order as when the rows are done one after the other. The
  // groups are shared out among the threads in order, and the first row of each follows
  // the last row of the group above by the same rule, so the bytes are the same for any
  // number of threads.
  GroupProgress progress(workers + 1, width);
  std::atomic<int64_t> nextGroup{0};
  const auto ditherGroup = [&](int64_t group) {
    const int32_t k = static_cast<int32_t>(group * kRowsTogether);
    const int rows = std::min<int32_t>(kRowsTogether, height - k);
    // The lines this group fills were last used by the group `workers` before it.
    if (group >= workers) progress.waitFor(group - workers, width);
    if (group == 0) fillLineBuffer(doc, 0, greying, lines.line(0));
    RowDitherer ditherers[kRowsTogether];
    int16_t* line[kRowsTogether + 1];
    for (int j = 0; j <= rows; ++j) line[j] = lines.line(k + j);
    for (int j = 0; j < rows; ++j) {
      ditherers[j] = ditherRow(k + j);
      if (k + j + 1 < height) fillLineBuffer(doc, k + j + 1, greying, line[j + 1]);
    }
    int32_t aboveDone = group == 0 ? width : 0;
    const int32_t lastRowLag = 2 * (rows - 1);
    for (int32_t x = 0; x < width + lastRowLag; ++x) {
      // The row above must be two pixels ahead of the first row (all done at the edge).
      const int32_t needed = std::min(x + 3, width);
      if (aboveDone < needed) aboveDone = progress.waitFor(group - 1, needed);
      for (int j = 0; j < rows; ++j) {
        const int32_t column = x - 2 * j;
        if (column >= 0 && column < width) ditherers[j].pixel(line[j], line[j + 1], column);
      }
      if ((x & 31) == 31 && x >= lastRowLag)
        progress.publish(group, std::min(x - lastRowLag + 1, width));
    }
    progress.publish(group, width);
    for (int j = 0; j < rows; ++j) ditherers[j].writer.finish();
  };
  runOnThreads(workers, [&](int) {
    for (int64_t group = nextGroup++; group < groups; group = nextGroup++) ditherGroup(group);
  });

  installPixels(doc, std::move(out), stride, ditheredColourMode(kind, interlaced));
  std::fill(doc.palette.begin(), doc.palette.begin() + 16, 0);
  if (kind == kDitherTwoColours)
    setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kTwoColourSet], 2);
  else if (kind == kDitherFourColours)
    setPaletteFromTvcIndices(doc, 0, candidateIndices, candidateCount);
  else
    setTvcPalette(doc);
  doc.interlaced = interlaced;
  return StatusCode::kOk;
}

}  // namespace vz
