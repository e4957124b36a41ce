#include "converter/colour/resize.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "base/vector_lanes.h"

namespace vz {

namespace {

// sRGB: encoded 0..1 to linear light, and back. C libraries' pow may differ in the last
// bit; every table entry made from it lies millions of ulps from a value where one ulp
// would change the entry, so the tables are the same with every library.
double decodeEncoded(double encoded) {
  return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// The least linear value whose encoding, times 255, reaches level - 1/2: from there on
// the sample rounds to `level` or above.
double roundingThreshold(int level) {
  const double encoded = (level - 0.5) / 255;
  return encoded <= 12.92 * 0.0031308 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// Linear light as whole numbers: sums of fully covered pixels are then exact integer
// additions, and the weighted parts few.
constexpr double kLinearScale = 1 << 20;

// The transfer functions as tables. Encoding finds the nearest sample by comparing
// with the 255 rounding thresholds instead of raising to the power 1/2.4: a bucket
// table gives the level at the start of the value's bucket, and the buckets are
// narrower than the narrowest gap between thresholds (3.0e-4, at the dark end), so
// at most one more comparison follows.
class LinearLight {
 public:
  LinearLight() {
    for (int level = 0; level < 256; ++level) {
      decode_[static_cast<size_t>(level)] =
          static_cast<uint32_t>(std::lround(decodeEncoded(level / 255.0) * kLinearScale));
      threshold_[static_cast<size_t>(level)] =
          level == 0 ? 0.0f : static_cast<float>(roundingThreshold(level));
    }
    int level = 0;
    for (int bucket = 0; bucket < kBuckets; ++bucket) {
      const float start = static_cast<float>(bucket) / kBuckets;
      while (level < 255 && start >= threshold_[static_cast<size_t>(level) + 1]) ++level;
      bucketLevel_[static_cast<size_t>(bucket)] = static_cast<uint8_t>(level);
    }
  }

  // Linear light of each sample, times kLinearScale.
  const uint32_t* decodeTable() const { return decode_.data(); }

  // The nearest sample to linear light 0..1.
  uint8_t encode(float linear) const {
    const int bucket = std::clamp(static_cast<int>(linear * kBuckets), 0, kBuckets - 1);
    size_t level = bucketLevel_[static_cast<size_t>(bucket)];
    while (level < 255 && linear >= threshold_[level + 1]) ++level;
    return static_cast<uint8_t>(level);
  }

 private:
  static constexpr int kBuckets = 4096;
  std::array<uint32_t, 256> decode_{};
  std::array<float, 256> threshold_{};
  std::array<uint8_t, kBuckets> bucketLevel_{};
};

const LinearLight& linearLight() {
  static const LinearLight tables;
  return tables;
}

// The source pixels an output pixel's span covers along one axis, and the share of
// each in it (the covered fraction over the span's length, times `scale`). Pixels
// between the first and the last are covered whole and share alike.
struct Tap {
  int32_t first = 0;
  int32_t count = 0;
  float firstWeight = 0;
  float innerWeight = 0;
  float lastWeight = 0;
};

std::vector<Tap> axisTaps(int32_t sourceSize, double start, double length, int32_t outputSize,
                          double scale) {
  std::vector<Tap> taps(static_cast<size_t>(outputSize));
  for (int32_t i = 0; i < outputSize; ++i) {
    const double from = start + length * i / outputSize;
    const double to = start + length * (i + 1) / outputSize;
    Tap& tap = taps[static_cast<size_t>(i)];
    tap.first = static_cast<int32_t>(std::clamp(std::floor(from), 0.0, sourceSize - 1.0));
    const auto end = static_cast<int32_t>(
        std::clamp(std::ceil(to), tap.first + 1.0, static_cast<double>(sourceSize)));
    tap.count = end - tap.first;
    const auto covered = [&](int32_t p) {
      return std::max(0.0, std::min(p + 1.0, to) - std::max(1.0 * p, from));
    };
    const double firstPart = covered(tap.first);
    const double lastPart = tap.count > 1 ? covered(end - 1) : 0;
    const double total = firstPart + lastPart + std::max(0, tap.count - 2);
    if (total <= 0) {  // a span of no length, which only rounding could make
      tap.count = 1;
      tap.firstWeight = static_cast<float>(scale);
      continue;
    }
    tap.firstWeight = static_cast<float>(firstPart / total * scale);
    tap.innerWeight = static_cast<float>(1 / total * scale);
    tap.lastWeight = static_cast<float>(lastPart / total * scale);
  }
  return taps;
}

// One source row as blue, green, red bytes: the document's own for true colour, else
// the colours of its indices written into `expanded`.
const uint8_t* rowAsBgr(const ImageDocument& doc, const std::array<ColourValue, 256>& colours,
                        int32_t y, std::vector<uint8_t>& expanded) {
  if (doc.colourMode == ColourMode::kTrueColour) return doc.row(y);
  const uint8_t* row = doc.row(y);
  const int bits = bitsPerPixel(doc.colourMode);
  for (int32_t x = 0; x < doc.width; ++x) {
    const ColourValue colour = colours[getPackedPixel(row, x, bits)];
    expanded[3 * static_cast<size_t>(x)] = blueOf(colour);
    expanded[3 * static_cast<size_t>(x) + 1] = greenOf(colour);
    expanded[3 * static_cast<size_t>(x) + 2] = redOf(colour);
  }
  return expanded.data();
}

// The horizontal pass over one row: linear blue, green, red per output column. The
// whole pixels of a span add up as integers, exactly and without waiting on each
// other's rounding; only the two partly covered ends are weighted on their own.
void resampleRow(const uint8_t* bgr, const std::vector<Tap>& taps, const uint32_t* decode,
                 float* out) {
  for (const Tap& tap : taps) {
    const uint8_t* s = bgr + 3 * static_cast<size_t>(tap.first);
    float blue = tap.firstWeight * static_cast<float>(decode[s[0]]);
    float green = tap.firstWeight * static_cast<float>(decode[s[1]]);
    float red = tap.firstWeight * static_cast<float>(decode[s[2]]);
    if (tap.count > 1) {
      const uint8_t* last = s + 3 * static_cast<size_t>(tap.count - 1);
      int64_t innerBlue = 0, innerGreen = 0, innerRed = 0;
      const uint8_t* p = s + 3;
      for (; p + 3 < last; p += 6) {
        innerBlue += int64_t{decode[p[0]]} + decode[p[3]];
        innerGreen += int64_t{decode[p[1]]} + decode[p[4]];
        innerRed += int64_t{decode[p[2]]} + decode[p[5]];
      }
      if (p < last) {
        innerBlue += decode[p[0]];
        innerGreen += decode[p[1]];
        innerRed += decode[p[2]];
      }
      blue += tap.innerWeight * static_cast<float>(innerBlue) +
              tap.lastWeight * static_cast<float>(decode[last[0]]);
      green += tap.innerWeight * static_cast<float>(innerGreen) +
               tap.lastWeight * static_cast<float>(decode[last[1]]);
      red += tap.innerWeight * static_cast<float>(innerRed) +
             tap.lastWeight * static_cast<float>(decode[last[2]]);
    }
    out[0] = blue;
    out[1] = green;
    out[2] = red;
    out += 3;
  }
}

// What one worker works in, made before any work starts so that no allocation can
// fail inside a thread.
struct Workspace {
  std::vector<float> rows[2];  // horizontal passes of the two latest source rows
  int32_t rowIndex[2] = {-1, -1};
  std::vector<float> sums;
  std::vector<uint8_t> expanded;
};

struct ResizeJob {
  const ImageDocument& source;
  const std::array<ColourValue, 256>& colours;  // of the source's indices
  ImageDocument& result;
  const std::vector<Tap>& across;
  const std::vector<Tap>& down;
  const LinearLight& light;
};

// The horizontal pass of source row q; consecutive output rows share a source row at
// their boundary, so the two latest stay at hand.
const float* horizontalPass(const ResizeJob& job, Workspace& work, int32_t q) {
  for (int slot = 0; slot < 2; ++slot)
    if (work.rowIndex[slot] == q) return work.rows[slot].data();
  const int slot = work.rowIndex[0] < work.rowIndex[1] ? 0 : 1;
  resampleRow(rowAsBgr(job.source, job.colours, q, work.expanded), job.across,
              job.light.decodeTable(), work.rows[slot].data());
  work.rowIndex[slot] = q;
  return work.rows[slot].data();
}

// sums += weight x pass, four samples at a time.
void addWeighted(float* sums, const float* pass, float weight, size_t samples) {
  const simd::Float4 weights = simd::broadcastFloat(weight);
  size_t k = 0;
  for (; k + 4 <= samples; k += 4)
    simd::store4(sums + k,
                 simd::add(simd::load4(sums + k), simd::multiply(weights, simd::load4(pass + k))));
  for (; k < samples; ++k) sums[k] += weight * pass[k];
}

void resizeBand(const ResizeJob& job, Workspace& work, int32_t firstRow, int32_t endRow) {
  const size_t samples = work.sums.size();
  float* sums = work.sums.data();
  for (int32_t j = firstRow; j < endRow; ++j) {
    const Tap& tap = job.down[static_cast<size_t>(j)];
    std::fill(sums, sums + samples, 0.0f);
    for (int32_t t = 0; t < tap.count; ++t) {
      const float weight = t == 0               ? tap.firstWeight
                           : t == tap.count - 1 ? tap.lastWeight
                                                : tap.innerWeight;
      addWeighted(sums, horizontalPass(job, work, tap.first + t), weight, samples);
    }
    uint8_t* out = job.result.row(j);
    for (size_t k = 0; k < samples; ++k) out[k] = job.light.encode(sums[k]);
  }
}

// Small pictures are not worth a thread.
constexpr int64_t kSamplesPerWorker = int64_t{1} << 18;

int workerCount(const ImageDocument& source, const ResizePlan& plan) {
  const int64_t work = int64_t{source.width} * source.height + int64_t{plan.width} * plan.height;
  const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
  return static_cast<int>(std::min<int64_t>({cores, plan.height, 1 + work / kSamplesPerWorker}));
}

// The output rows in small bands, each taken by whichever worker is free next: a
// worker that other programs slow down holds the rest up little.
class BandQueue {
 public:
  BandQueue(int32_t rows, int workers)
      : rows_(rows), bands_(static_cast<int>(std::min<int64_t>(rows, 8 * int64_t{workers}))) {}

  void work(const ResizeJob& job, Workspace& space) {
    for (int band = next_++; band < bands_; band = next_++)
      resizeBand(job, space, start(band), start(band + 1));
  }

 private:
  int32_t start(int band) const { return static_cast<int32_t>(int64_t{rows_} * band / bands_); }

  const int32_t rows_;
  const int bands_;
  std::atomic<int> next_{0};
};

Status resample(const ImageDocument& source, const std::array<ColourValue, 256>& colours,
                const ResizePlan& plan, ImageDocument& result) {
  const int64_t stride = rowStrideFor(ColourMode::kTrueColour, plan.width);
  if (stride < 0 || plan.height > kMaxPictureBytes / stride)
    return pictureOverTheLimit(plan.width, plan.height);
  if (allocatePicture(result, plan.width, plan.height, ColourMode::kTrueColour) <= 0)
    return StatusCode::kOutOfMemory;
  // The horizontal weights also turn the decode table's whole numbers back into 0..1.
  const std::vector<Tap> across =
      axisTaps(source.width, plan.left, plan.sourceWidth, plan.width, 1 / kLinearScale);
  const std::vector<Tap> down =
      axisTaps(source.height, plan.top, plan.sourceHeight, plan.height, 1);
  const ResizeJob job{source, colours, result, across, down, linearLight()};

  const int workers = workerCount(source, plan);
  std::vector<Workspace> spaces(static_cast<size_t>(workers));
  for (Workspace& space : spaces) {
    for (std::vector<float>& row : space.rows) row.resize(3 * static_cast<size_t>(plan.width));
    space.sums.resize(3 * static_cast<size_t>(plan.width));
    if (source.colourMode != ColourMode::kTrueColour)
      space.expanded.resize(3 * static_cast<size_t>(source.width));
  }
  // Each output row sums its source rows in the same order whichever worker takes it,
  // so the result does not depend on how the rows were shared out.
  BandQueue queue(plan.height, workers);
  std::vector<std::thread> threads;
  for (size_t worker = 1; worker < spaces.size(); ++worker) {
    try {
      threads.emplace_back(&BandQueue::work, &queue, std::cref(job), std::ref(spaces[worker]));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the others take the rows
    }
  }
  queue.work(job, spaces[0]);
  for (std::thread& thread : threads) thread.join();
  return StatusCode::kOk;
}

// planResize for a source of w x h, whole numbers that may exceed 32 bits (a zoomed
// width); their products with a target side stay exact in double precision.
ResizePlan planFor(double w, double h, const ResizeTarget& target) {
  const double targetWidth = target.width;
  const double targetHeight = target.height;
  ResizePlan plan{target.width, target.height, 0, 0, w, h};
  if (target.mode == ResizeMode::kFit) {
    const double scale = std::min(targetWidth / w, targetHeight / h);
    plan.width = static_cast<int32_t>(std::max(1.0, std::floor(w * scale + 0.5)));
    plan.height = static_cast<int32_t>(std::max(1.0, std::floor(h * scale + 0.5)));
  } else if (target.mode == ResizeMode::kFill) {
    if (w * targetHeight > targetWidth * h) {
      plan.sourceWidth = h * targetWidth / targetHeight;
      plan.left = (w - h * targetWidth / targetHeight) / 2;
    } else {
      plan.sourceHeight = w * targetHeight / targetWidth;
      plan.top = (h - w * targetHeight / targetWidth) / 2;
    }
  }
  return plan;
}

}  // namespace

ResizePlan planResize(int32_t sourceWidth, int32_t sourceHeight, const ResizeTarget& target) {
  return planFor(sourceWidth, sourceHeight, target);
}

ResizePlan planShownResize(int32_t width, int32_t height, int zoomX, int zoomY,
                           const ResizeTarget& target) {
  zoomX = std::max(zoomX, 1);
  zoomY = std::max(zoomY, 1);
  ResizePlan plan =
      planFor(static_cast<double>(width) * zoomX, static_cast<double>(height) * zoomY, target);
  plan.left /= zoomX;
  plan.sourceWidth /= zoomX;
  plan.top /= zoomY;
  plan.sourceHeight /= zoomY;
  return plan;
}

Status resizePicture(ImageDocument& doc, const ResizeTarget& target, int zoomX, int zoomY) {
  if (!doc.holdsPicture() || doc.width < 1 || doc.height < 1 || target.width < 1 ||
      target.height < 1 || !isValidColourMode(doc.colourMode))
    return Status(StatusCode::kNotApplicable, "resizing needs a picture and a size of at least 1");
  ImageDocument result;
  try {
    const Status status = resample(
        doc, doc.palette, planShownResize(doc.width, doc.height, zoomX, zoomY, target), result);
    if (!status.ok()) return status;
  } catch (const std::exception&) {  // the sampling tables of an absurd size
    return StatusCode::kOutOfMemory;
  }
  doc.pixels = std::move(result.pixels);
  doc.width = result.width;
  doc.height = result.height;
  doc.rowStride = result.rowStride;
  doc.colourMode = ColourMode::kTrueColour;
  doc.palette = {};
  doc.tvcPicture = false;
  doc.interlaced = false;
  return StatusCode::kOk;
}

bool resampleWhole(const ImageDocument& source, const std::array<ColourValue, 256>& colours,
                   int32_t width, int32_t height, ImageDocument& result) {
  if (!source.holdsPicture() || source.width < 1 || source.height < 1 || width < 1 || height < 1 ||
      !isValidColourMode(source.colourMode))
    return false;
  try {
    return resample(source, colours,
                    planResize(source.width, source.height, {width, height, ResizeMode::kStretch}),
                    result)
        .ok();
  } catch (const std::exception&) {  // the sampling tables of an absurd size
    return false;
  }
}

}  // namespace vz
