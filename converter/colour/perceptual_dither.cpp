// Perceptual error diffusion to 2, 4 and 16 TVC colours: each pixel takes the candidate
// that looks nearest (distance in OKLab), and what it misses is carried to its
// neighbours in linear light, where neighbouring dots add up as the eye blends them.
// The rows are scanned in alternating directions with the Floyd-Steinberg shares.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <new>

#include "base/vector_lanes.h"
#include "converter/colour/conversion_support.h"
#include "converter/colour/conversions.h"

namespace vz {

namespace {

// How far past black and white a pixel plus the error it is owed may go. Enough to
// keep the error a colour outside the candidates' reach leaves behind, so that it is
// paid back; little enough that a colour no candidate comes near cannot pile it up
// without end.
constexpr float kOvershoot = 0.5f;

// The n-th root by Newton steps from a nearby power of two. After the first step the
// guesses only fall towards the root, so the steps stop when one no longer lowers it.
// Besides exact scaling by powers of two only +, * and / are used, which round the same
// way with every compiler and library, so the tables made from it are the same bits
// everywhere (which a library's pow or cbrt does not promise).
double positiveRoot(double value, int degree) {
  if (value <= 0) return 0;
  const auto newtonStep = [&](double root) {
    double power = 1;
    for (int i = 1; i < degree; ++i) power *= root;
    return ((degree - 1) * root + value / power) / degree;
  };
  int exponent = 0;
  std::frexp(value, &exponent);
  double root = newtonStep(std::ldexp(1.0, exponent / degree));
  for (double next = newtonStep(root); next < root; next = newtonStep(root)) root = next;
  return root;
}

double signedCubeRoot(double value) {
  return value < 0 ? -positiveRoot(-value, 3) : positiveRoot(value, 3);
}

// The sRGB curve from encoded to linear, continued past 1 and mirrored below 0.
double linearOfEncoded(double encoded) {
  if (encoded < 0) return -linearOfEncoded(-encoded);
  if (encoded <= 0.04045) return encoded / 12.92;
  const double base = (encoded + 0.055) / 1.055;
  const double square = base * base;
  return square * positiveRoot(square, 5);  // base^2.4
}

struct Oklab {
  double lightness, a, b;
};

// Björn Ottosson's OKLab of linear sRGB; channels outside 0..1 are taken as they are.
Oklab oklabOfLinear(double red, double green, double blue) {
  const double l = signedCubeRoot(0.4122214708 * red + 0.5363325363 * green + 0.0514459929 * blue);
  const double m = signedCubeRoot(0.2119034982 * red + 0.6806995451 * green + 0.1073969566 * blue);
  const double s = signedCubeRoot(0.0883024619 * red + 0.2817188376 * green + 0.6299787005 * blue);
  return {0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
          1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
          0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

// The nearest-colour search is keyed on each channel's level: the channel cut into
// steps of 1/32 on the sRGB curve, so that dark colours are told apart as finely as
// light ones, over the whole range a pixel with its error can take (63 levels). Finer
// levels measured no closer to the originals, and the table of every key then no
// longer fits the processor's cache.
constexpr int kLevelsPerUnit = 32;
constexpr int kLevelBits = 6;
constexpr int kLinearStepsPerUnit = 1 << 12;  // how finely a linear value is looked up
constexpr int kLinearSteps = static_cast<int>((1 + 2 * kOvershoot) * kLinearStepsPerUnit);

struct Curves {
  std::array<float, 256> linearOfByte;
  std::array<uint8_t, kLinearSteps + 1> levelOfStep;  // of -kOvershoot + i / kLinearStepsPerUnit
  std::vector<double> linearOfLevel;                  // the middle of each level
  // A level's bits spread out to every third bit. A key interleaves the three levels,
  // so that colours near each other have keys near each other, and the keys of the
  // colours a picture passes through stay in the cache together.
  std::array<uint32_t, 1 << kLevelBits> spread{};

  Curves() {
    for (int v = 0; v < 256; ++v)
      linearOfByte[static_cast<size_t>(v)] = static_cast<float>(linearOfEncoded(v / 255.0));
    // Level k covers the linear values from edge(lowest + k) up to the next edge.
    const auto edge = [](int k) {
      return linearOfEncoded(k / static_cast<double>(kLevelsPerUnit));
    };
    int lowest = 0, highest = 0;
    while (edge(lowest) > -kOvershoot) --lowest;
    while (edge(highest) < 1 + kOvershoot) ++highest;
    const int levels = std::min(highest - lowest, 1 << kLevelBits);
    for (int k = 0; k < levels; ++k)
      linearOfLevel.push_back(linearOfEncoded((lowest + k + 0.5) / kLevelsPerUnit));
    int level = 0;
    for (int i = 0; i <= kLinearSteps; ++i) {
      const double linear = -kOvershoot + i / static_cast<double>(kLinearStepsPerUnit);
      while (level + 1 < levels && edge(lowest + level + 1) <= linear) ++level;
      levelOfStep[static_cast<size_t>(i)] = static_cast<uint8_t>(level);
    }
    for (uint32_t k = 0; k < spread.size(); ++k)
      for (int bit = 0; bit < kLevelBits; ++bit) spread[k] |= ((k >> bit) & 1) << (3 * bit);
  }
};

const Curves& curves() {
  static const Curves made;
  return made;
}

// One colour set: its candidates in linear light and OKLab, and the nearest of them
// for each key, found the first time that key comes up. Ties go to the lower index
// (so the TVC's second black, 8, is never chosen over 0).
class PerceptualSearch {
 public:
  bool prepare(const uint8_t* tvcIndices, int count) {
    const Curves& c = *curves_;
    count_ = count;
    for (int i = 0; i < count; ++i) {
      const ColourValue colour = tvcColour(tvcIndices[i]);
      const float r = c.linearOfByte[redOf(colour)], g = c.linearOfByte[greenOf(colour)],
                  b = c.linearOfByte[blueOf(colour)];
      linear_[static_cast<size_t>(i)] = {r, g, b, 0};
      lab_[static_cast<size_t>(i)] = oklabOfLinear(r, g, b);
    }
    return allocateZeroed(nearestPlusOne_, size_t{1} << (3 * kLevelBits));
  }

  // value: linear red, green and blue in lanes 0..2, within -kOvershoot..1 + kOvershoot.
  int nearest(simd::Float4 value) {
    const Curves& c = *curves_;
    const simd::Float4 steps =
        simd::add(simd::multiply(simd::add(value, simd::broadcastFloat(kOvershoot)),
                                 simd::broadcastFloat(kLinearStepsPerUnit)),
                  simd::broadcastFloat(0.5f));
    int32_t step[4];
    simd::storeTruncated(step, steps);
    const size_t red = c.levelOfStep[static_cast<size_t>(step[0])];
    const size_t green = c.levelOfStep[static_cast<size_t>(step[1])];
    const size_t blue = c.levelOfStep[static_cast<size_t>(step[2])];
    uint8_t& known = nearestPlusOne_[c.spread[red] << 2 | c.spread[green] << 1 | c.spread[blue]];
    if (known == 0) known = static_cast<uint8_t>(search(red, green, blue) + 1);
    return known - 1;
  }

  simd::Float4 linear(int i) const { return simd::load4(linear_[static_cast<size_t>(i)].data()); }

 private:
  int search(size_t red, size_t green, size_t blue) const {
    const Curves& c = *curves_;
    const Oklab lab =
        oklabOfLinear(c.linearOfLevel[red], c.linearOfLevel[green], c.linearOfLevel[blue]);
    int best = 0;
    double bestDistance = 0;
    for (int i = 0; i < count_; ++i) {
      const Oklab& candidate = lab_[static_cast<size_t>(i)];
      const double dl = lab.lightness - candidate.lightness;
      const double da = lab.a - candidate.a, db = lab.b - candidate.b;
      const double distance = dl * dl + da * da + db * db;
      if (i == 0 || distance < bestDistance) {
        best = i;
        bestDistance = distance;
      }
    }
    return best;
  }

  const Curves* curves_ = &curves();
  int count_ = 0;
  std::array<std::array<float, 4>, 16> linear_{};
  std::array<Oklab, 16> lab_{};
  std::vector<uint8_t> nearestPlusOne_;  // 0: not yet searched
};

// A row of pixels as four floats each (linear red, green, blue, unused), with a spare
// pixel at either end for the error pushed past the edges.
class LinearRow {
 public:
  bool allocate(int32_t width) {
    try {
      values_.assign(4 * (static_cast<size_t>(width) + 2), 0.0f);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  float* at(int32_t x) { return values_.data() + 4 * (static_cast<size_t>(x) + 1); }
  simd::Float4 load(int32_t x) { return simd::load4(at(x)); }
  void store(int32_t x, simd::Float4 value) { simd::store4(at(x), value); }
  void clear() { std::fill(values_.begin(), values_.end(), 0.0f); }
  void swap(LinearRow& other) { values_.swap(other.values_); }

 private:
  std::vector<float> values_;
};

// Pictures are dithered in horizontal strips, fixed by the picture's height alone so that
// the bytes do not depend on how many threads share them. Each strip starts with no error
// a few rows above its first row, whose results it throws away: the error carried from
// above fades within a few rows, so the strip starts as if it had come from the top.
constexpr int32_t kMinStripRows = 256;
constexpr int32_t kMaxStrips = 8;
constexpr int32_t kWarmUpRows = 32;

// What one strip needs: the picture, the sets, where the rows go.
struct StripJob {
  const ImageDocument& doc;
  const uint8_t* candidateIndices;
  int setSize;
  bool interlaced;
  int bits;
  int32_t stride;
  uint8_t* out;
};

// One thread's tables and rows, kept from strip to strip: the searches' answers once
// found hold for every strip.
struct StripWorker {
  std::vector<uint8_t> values;
  PerceptualSearch firstSet, evenLineSet;
  LinearRow source, current, below;

  bool prepare(const StripJob& job) {
    const int32_t width = job.doc.width;
    return allocateZeroed(values, static_cast<size_t>(width)) &&
           firstSet.prepare(job.candidateIndices, job.setSize) &&
           (!job.interlaced || evenLineSet.prepare(job.candidateIndices + 4, job.setSize)) &&
           source.allocate(width) && current.allocate(width) && below.allocate(width);
  }
};

// Dithers rows begin .. end - 1, starting at row `warmUp` (at most begin) with no error.
void ditherStrip(const StripJob& job, StripWorker& worker, int32_t warmUp, int32_t begin,
                 int32_t end) {
  const ImageDocument& doc = job.doc;
  const int32_t width = doc.width;
  std::vector<uint8_t>& values = worker.values;
  PerceptualSearch &firstSet = worker.firstSet, &evenLineSet = worker.evenLineSet;
  LinearRow &source = worker.source, &current = worker.current, &below = worker.below;
  current.clear();

  const std::array<float, 256>& linearOfByte = curves().linearOfByte;
  const simd::Float4 low = simd::broadcastFloat(-kOvershoot);
  const simd::Float4 high = simd::broadcastFloat(1 + kOvershoot);
  const simd::Float4 right = simd::broadcastFloat(7 / 16.0f);
  const simd::Float4 belowBehind = simd::broadcastFloat(3 / 16.0f);
  const simd::Float4 straightBelow = simd::broadcastFloat(5 / 16.0f);
  const simd::Float4 belowAhead = simd::broadcastFloat(1 / 16.0f);
  for (int32_t y = warmUp; y < end; ++y) {
    forEachPixelColour(doc, doc.row(y), [&](int32_t x, uint8_t r, uint8_t g, uint8_t b) {
      float* pixel = source.at(x);
      pixel[0] = linearOfByte[r];
      pixel[1] = linearOfByte[g];
      pixel[2] = linearOfByte[b];
    });
    const bool oddSet = job.interlaced && (y & 1);
    PerceptualSearch& search = oddSet ? evenLineSet : firstSet;
    const int valueOffset = oddSet ? 4 : 0;
    const int32_t step = (y & 1) ? -1 : 1;
    // The shares still to come stay in registers: the next pixel waits for its share, and
    // each pixel below is written once, when its three shares are in (added in the order
    // they were made). A round trip through memory would make the waits longer.
    simd::Float4 ahead = simd::zeroFloat4();
    simd::Float4 belowBehindSum = simd::zeroFloat4();  // for the pixel below the one before
    simd::Float4 belowSum = simd::zeroFloat4();        // for the pixel below this one
    for (int32_t i = 0; i < width; ++i) {
      const int32_t x = step > 0 ? i : width - 1 - i;
      const simd::Float4 owed = simd::add(current.load(x), ahead);
      const simd::Float4 value =
          simd::minimum(simd::maximum(simd::add(source.load(x), owed), low), high);
      const int chosen = search.nearest(value);
      values[static_cast<size_t>(x)] = static_cast<uint8_t>(chosen + valueOffset);
      const simd::Float4 error = simd::subtract(value, search.linear(chosen));
      ahead = simd::multiply(error, right);
      below.store(x - step, simd::add(belowBehindSum, simd::multiply(error, belowBehind)));
      belowBehindSum = simd::add(belowSum, simd::multiply(error, straightBelow));
      belowSum = simd::multiply(error, belowAhead);
    }
    const int32_t last = step > 0 ? width - 1 : 0;
    below.store(last, belowBehindSum);
    below.store(last + step, belowSum);
    current.swap(below);
    if (y < begin) continue;
    PackedRowWriter writer(job.out + static_cast<size_t>(y) * job.stride, job.bits);
    for (int32_t x = 0; x < width; ++x) writer.append(values[static_cast<size_t>(x)]);
    writer.finish();
  }
}

}  // namespace

Status perceptualDither(ImageDocument& doc, const EffectSettings& settings, int kind, int threads) {
  if (kind < kDitherTwoColours || kind > kDitherSixteenColours || !hasConvertiblePicture(doc) ||
      !readsAsColours(doc.colourMode))
    return Status(StatusCode::kNotApplicable,
                  "dithering needs a true-colour picture or one of 4 to 256 colours");
  // The colour sets as TVC indices; with interlace, odd rows take the even-line set,
  // written as pixel values 4..7.
  const bool interlaced = kind == kDitherFourColours && settings.interlacedFourColour;
  uint8_t candidateIndices[16];
  int setSize = 16;
  if (kind == kDitherTwoColours) {
    setSize = 2;
    for (int i = 0; i < 2; ++i)
      candidateIndices[i] = settings.colourChoices[static_cast<size_t>(kTwoColourSet + i)] & 15;
  } else if (kind == kDitherFourColours) {
    setSize = 4;
    for (int i = 0; i < 4; ++i) {
      candidateIndices[i] = settings.colourChoices[static_cast<size_t>(kFourColourSet + i)] & 15;
      candidateIndices[4 + i] = settings.colourChoices[static_cast<size_t>(kEvenLineSet + i)] & 15;
    }
  } else {
    for (int i = 0; i < 16; ++i) candidateIndices[i] = static_cast<uint8_t>(i);
  }

  const int32_t width = doc.width, height = doc.height;
  const int bits = kind == kDitherTwoColours ? 1 : 4;
  const int32_t stride = static_cast<int32_t>(rowStrideFor(
      kind == kDitherTwoColours ? ColourMode::kColours2 : ColourMode::kColours16, width));
  std::vector<uint8_t> out;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(height)))
    return StatusCode::kOutOfMemory;

  const StripJob job{doc, candidateIndices, setSize, interlaced, bits, stride, out.data()};
  const int32_t strips = std::clamp(height / kMinStripRows, 1, kMaxStrips);
  const int workers = std::clamp(threads, 1, strips);
  std::atomic<int32_t> nextStrip{0};
  std::atomic<bool> failed{false};
  runOnThreads(workers, [&](int) {
    StripWorker worker;
    if (!worker.prepare(job)) {
      failed = true;
      return;
    }
    for (int32_t strip = nextStrip++; strip < strips; strip = nextStrip++) {
      const int32_t begin = static_cast<int32_t>(int64_t{height} * strip / strips);
      const int32_t end = static_cast<int32_t>(int64_t{height} * (strip + 1) / strips);
      ditherStrip(job, worker, std::max(0, begin - kWarmUpRows), begin, end);
    }
  });
  if (failed) return StatusCode::kOutOfMemory;

  installPixels(doc, std::move(out), stride, ditheredColourMode(kind, interlaced));
  std::fill(doc.palette.begin(), doc.palette.begin() + 16, 0);
  if (kind == kDitherSixteenColours)
    setTvcPalette(doc);
  else
    setPaletteFromTvcIndices(doc, 0, candidateIndices, interlaced ? 8 : setSize);
  doc.interlaced = interlaced;
  return StatusCode::kOk;
}
}  // namespace vz
