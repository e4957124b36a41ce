// Direct binary search over the perceptual dither's result. The error the eye sees is
// e = G * (shown result - shown source), G the eye's blur (perceptual_error.h), and at
// each screen pixel p its size is about the CIEDE2000 difference between the blurred
// source c(p) and the blurred result c(p) + e(p). The refinement lowers E, the sum of
// those differences, by sweeps that each lower a quadratic model of it: with r(p) the
// difference as a vector and J(p) its change with the result (differenceFrom), both
// taken where the result is at the sweep's start, and w(p) = |r(p)|,
//   E_w = sum over p of |r(p) + J(p) (e(p) - e_start(p))|^2 / w(p),
// which lies above twice E less a constant and touches it at the start, so E falls
// whenever E_w does (the reweighted least squares of a sum of lengths). Changing one
// pixel q by d (linear light) adds K_q(p) d to e, K_q being the blur of q's footprint
// on the screen, so with M = J^T J / w
//   E_w' - E_w = 2 d . A(q) + d^T B(q) d,  A(q) = sum K_q(p) f(p),  B(q) = sum K_q(p)^2 M(p),
// where B is fixed for the sweep and the field f = J^T r / w + M (e - e_start) is kept
// up to date as pixels change.
//
// The pixels are visited in blocks of 16 x 16, in four passes of every other block
// across and down. What one pixel's change touches, and what deciding it reads, reach
// at most the blur's radius beyond its footprint, less than a block: the blocks of one
// pass cannot see each other, so they are shared among the threads in any order and the
// bytes are the same for any number of them.
#include "converter/colour/refined_dither.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <vector>

#include "converter/colour/conversion_support.h"
#include "converter/colour/conversions.h"
#include "converter/colour/perceptual_error.h"

namespace vz {

namespace {

constexpr int kMaxSweeps = 8;
constexpr int32_t kBlock = 16;
// Sweeps stop once fewer than this share of the pixels changed.
constexpr int64_t kSettledPerMille = 1;
// The least difference a screen pixel's weight is divided by (in CIEDE2000 units), so
// that pixels already close to the source do not weigh without bound.
constexpr float kSmallestDifference = 3.0f;

// How the blur of one document column (or row) reaches the screen's columns: the
// weights, edges mirrored as the eye's blur mirrors them.
class AxisKernel {
 public:
  bool build(int32_t cells, int zoom) {
    const int32_t shown = cells * zoom;
    span_ = zoom + 2 * kEyeRadius;
    const std::array<float, 2 * kEyeRadius + 1>& eye = eyeWeights();
    try {
      first_.assign(static_cast<size_t>(cells), 0);
      count_.assign(static_cast<size_t>(cells), 0);
      weights_.assign(static_cast<size_t>(cells) * static_cast<size_t>(span_), 0.0f);
    } catch (const std::bad_alloc&) {
      return false;
    }
    for (int32_t q = 0; q < cells; ++q) {
      const int32_t low = std::max(0, q * zoom - kEyeRadius);
      const int32_t high = std::min(shown - 1, q * zoom + zoom - 1 + kEyeRadius);
      first_[static_cast<size_t>(q)] = low;
      count_[static_cast<size_t>(q)] = high - low + 1;
      for (int32_t p = low; p <= high; ++p) {
        float weight = 0;
        for (int k = -kEyeRadius; k <= kEyeRadius; ++k)
          if (mirroredIndex(p + k, shown) / zoom == q)
            weight += eye[static_cast<size_t>(k + kEyeRadius)];
        weights_[static_cast<size_t>(q) * static_cast<size_t>(span_) +
                 static_cast<size_t>(p - low)] = weight;
      }
    }
    return true;
  }
  int32_t first(int32_t q) const { return first_[static_cast<size_t>(q)]; }
  int32_t count(int32_t q) const { return count_[static_cast<size_t>(q)]; }
  const float* weights(int32_t q) const {
    return weights_.data() + static_cast<size_t>(q) * static_cast<size_t>(span_);
  }

 private:
  int span_ = 0;
  std::vector<int32_t> first_, count_;
  std::vector<float> weights_;
};

// A symmetric 3 x 3 form: xx, yy, zz, xy, xz, yz.
using Form = std::array<float, 6>;

void applyForm(const Form& m, const float* v, float* out) {
  out[0] = m[0] * v[0] + m[3] * v[1] + m[4] * v[2];
  out[1] = m[3] * v[0] + m[1] * v[1] + m[5] * v[2];
  out[2] = m[4] * v[0] + m[5] * v[1] + m[2] * v[2];
}

// The eye model of one refinement: the fields on the screen and the fixed forms B.
class EyeModel {
 public:
  // The source as shown, and the meter prepared with it.
  bool prepare(const LinearPicture& shownSource, const PerceptualErrorMeter& meter,
               const ImageDocument& result, int zoomX, int zoomY, int threads) {
    LinearPicture shownResult;
    if (!shownLinearPicture(result, zoomX, zoomY, shownResult) ||
        shownResult.values.size() != shownSource.values.size() ||
        !columns_.build(result.width, zoomX) || !rows_.build(result.height, zoomY))
      return false;
    // The difference blurred is the error field.
    for (size_t i = 0; i < shownResult.values.size(); ++i)
      shownResult.values[i] -= shownSource.values[i];
    if (!blurAsTheEyeSees(shownResult, error_, threads)) return false;
    shownWidth_ = shownResult.width;
    const size_t shownCount = error_.values.size() / 3;
    const size_t count = static_cast<size_t>(result.width) * static_cast<size_t>(result.height);
    try {
      forms_.assign(shownCount, Form{});
      field_.assign(3 * shownCount, 0.0f);
      columnForms_.assign(static_cast<size_t>(error_.height) * static_cast<size_t>(result.width),
                          Form{});
      pixelForms_.assign(count, Form{});
      rowDifferences_.assign(static_cast<size_t>(error_.height), 0.0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    blurredSource_ = &meter.blurredOriginal();
    sourceLab_ = &meter.originalLab();
    width_ = result.width;
    height_ = result.height;
    return true;
  }

  // The sweep's quadratic model at each screen pixel. With r the difference from the
  // source as a vector (differenceFrom) and J its change with the blurred result, both
  // where the result is now, and w = |r| (at least kSmallestDifference):
  //   |r + J d| <= (|r + J d|^2 / w + w) / 2,  equal at d = 0,
  // so the sum of |r + J d|^2 / w = d^T M d + 2 d . g + ... with M = J^T J / w and
  // g = J^T r / w is what a sweep lowers. The field M e is kept as g + M (e - e_start).
  //
  // Returns the sum of the |r|: about the summed CIEDE2000 differences of the result as
  // it is now.
  double reweigh(int threads) {
    forEachRowBand(error_.height, threads, [&](int32_t begin, int32_t end) {
      for (int32_t y = begin; y < end; ++y) {
        double rowSum = 0;
        for (size_t i = static_cast<size_t>(y) * shownWidth_;
             i < static_cast<size_t>(y + 1) * shownWidth_; ++i) {
          const float* e = error_.values.data() + 3 * i;
          const float* colour = blurredSource_->values.data() + 3 * i;
          const DifferenceModel model = differenceFrom((*sourceLab_)[i], colour[0] + e[0],
                                                       colour[1] + e[1], colour[2] + e[2]);
          const auto& r = model.residual;
          const auto& j = model.jacobian;
          const float length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
          rowSum += length;
          const float size = std::max(kSmallestDifference, length);
          const auto column = [&](size_t a, size_t b) {
            return (j[0][a] * j[0][b] + j[1][a] * j[1][b] + j[2][a] * j[2][b]) / size;
          };
          forms_[i] = {column(0, 0), column(1, 1), column(2, 2),
                       column(0, 1), column(0, 2), column(1, 2)};
          float* g = field_.data() + 3 * i;
          for (size_t c = 0; c < 3; ++c)
            g[c] = (j[0][c] * r[0] + j[1][c] * r[1] + j[2][c] * r[2]) / size;
        }
        rowDifferences_[static_cast<size_t>(y)] = rowSum;
      }
    });
    // B, the blur's squares being separable: across each screen row, then down.
    forEachRowBand(error_.height, threads, [&](int32_t begin, int32_t end) {
      for (int32_t y = begin; y < end; ++y)
        for (int32_t x = 0; x < width_; ++x) {
          const float* kx = columns_.weights(x);
          const Form* m = forms_.data() + static_cast<size_t>(y) * shownWidth_ + columns_.first(x);
          Form sum{};
          for (int32_t i = 0; i < columns_.count(x); ++i)
            for (size_t f = 0; f < sum.size(); ++f) sum[f] += kx[i] * kx[i] * m[i][f];
          columnForms_[static_cast<size_t>(y) * width_ + x] = sum;
        }
    });
    forEachRowBand(height_, threads, [&](int32_t begin, int32_t end) {
      for (int32_t y = begin; y < end; ++y) {
        const float* ky = rows_.weights(y);
        for (int32_t x = 0; x < width_; ++x) {
          Form sum{};
          for (int32_t j = 0; j < rows_.count(y); ++j) {
            const Form& t = columnForms_[static_cast<size_t>(rows_.first(y) + j) * width_ + x];
            for (size_t f = 0; f < sum.size(); ++f) sum[f] += ky[j] * ky[j] * t[f];
          }
          pixelForms_[index(x, y)] = sum;
        }
      }
    });
    double total = 0;
    for (double rowSum : rowDifferences_) total += rowSum;
    return total;
  }

  // A(q).
  void gradient(int32_t x, int32_t y, float* a) const {
    const float* kx = columns_.weights(x);
    const float* ky = rows_.weights(y);
    const int32_t firstX = columns_.first(x), countX = columns_.count(x);
    const int32_t firstY = rows_.first(y), countY = rows_.count(y);
    a[0] = a[1] = a[2] = 0;
    for (int32_t j = 0; j < countY; ++j) {
      const float* w = field_.data() + 3 * (static_cast<size_t>(firstY + j) * shownWidth_ + firstX);
      float r0 = 0, r1 = 0, r2 = 0;
      for (int32_t i = 0; i < countX; ++i) {
        r0 += kx[i] * w[3 * i];
        r1 += kx[i] * w[3 * i + 1];
        r2 += kx[i] * w[3 * i + 2];
      }
      a[0] += ky[j] * r0;
      a[1] += ky[j] * r1;
      a[2] += ky[j] * r2;
    }
  }

  const Form& pixelForm(int32_t x, int32_t y) const { return pixelForms_[index(x, y)]; }

  // Pixel q changed by d: its share of the error, and of the field.
  void change(int32_t x, int32_t y, const float* d) {
    const float* kx = columns_.weights(x);
    const float* ky = rows_.weights(y);
    const int32_t firstX = columns_.first(x), countX = columns_.count(x);
    const int32_t firstY = rows_.first(y), countY = rows_.count(y);
    for (int32_t j = 0; j < countY; ++j) {
      const size_t start = static_cast<size_t>(firstY + j) * shownWidth_ + firstX;
      for (int32_t i = 0; i < countX; ++i) {
        const float k = ky[j] * kx[i];
        const float share[3] = {k * d[0], k * d[1], k * d[2]};
        float* e = error_.values.data() + 3 * (start + i);
        for (int c = 0; c < 3; ++c) e[c] += share[c];
        float added[3];
        applyForm(forms_[start + i], share, added);
        float* field = field_.data() + 3 * (start + i);
        for (int c = 0; c < 3; ++c) field[c] += added[c];
      }
    }
  }

 private:
  size_t index(int32_t x, int32_t y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  }

  AxisKernel columns_, rows_;
  int32_t shownWidth_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  LinearPicture error_;
  const LinearPicture* blurredSource_ = nullptr;
  const std::vector<Lab>* sourceLab_ = nullptr;
  std::vector<float> field_;       // M e, kept as g + M (e - e_start)
  std::vector<Form> forms_;        // M, per screen pixel, for this sweep
  std::vector<Form> columnForms_;  // B's first half: across only, per screen row
  std::vector<Form> pixelForms_;   // B, per document pixel
  std::vector<double> rowDifferences_;
};

// The values a row may take and their colours in linear light.
struct RowChoices {
  int first = 0;
  int count = 0;
  float linear[16][3];
};

// One sweep over the blocks of one pass: returns how many pixels changed.
int64_t refineBlock(ImageDocument& doc, EyeModel& model, const RowChoices* choices, int bits,
                    int32_t blockX, int32_t blockY) {
  int64_t changed = 0;
  const int32_t endY = std::min(doc.height, (blockY + 1) * kBlock);
  const int32_t endX = std::min(doc.width, (blockX + 1) * kBlock);
  for (int32_t y = blockY * kBlock; y < endY; ++y) {
    const RowChoices& row = choices[y & 1];
    uint8_t* pixels = doc.row(y);
    for (int32_t x = blockX * kBlock; x < endX; ++x) {
      const int value = getPackedPixel(pixels, x, bits);
      if (value < row.first || value >= row.first + row.count) continue;
      const float* now = row.linear[value - row.first];
      float a[3];
      model.gradient(x, y, a);
      const Form& b = model.pixelForm(x, y);
      int bestValue = value;
      float bestChange = 0;
      for (int i = 0; i < row.count; ++i) {
        float d[3];
        for (int c = 0; c < 3; ++c) d[c] = row.linear[i][c] - now[c];
        const float linearPart = 2 * (d[0] * a[0] + d[1] * a[1] + d[2] * a[2]);
        const float squarePart = b[0] * d[0] * d[0] + b[1] * d[1] * d[1] + b[2] * d[2] * d[2] +
                                 2 * (b[3] * d[0] * d[1] + b[4] * d[0] * d[2] + b[5] * d[1] * d[2]);
        const float change = linearPart + squarePart;
        if (change < bestChange) {
          bestChange = change;
          bestValue = row.first + i;
        }
      }
      if (bestValue == value) continue;
      float d[3];
      for (int c = 0; c < 3; ++c) d[c] = row.linear[bestValue - row.first][c] - now[c];
      model.change(x, y, d);
      setPackedPixel(pixels, x, bits, static_cast<uint8_t>(bestValue));
      ++changed;
    }
  }
  return changed;
}

bool rowChoicesOf(const ImageDocument& doc, int kind, RowChoices* choices) {
  const std::array<double, 256>& linear = linearOfByteTable();
  for (int parity = 0; parity < 2; ++parity) {
    RowChoices& row = choices[parity];
    row.count = kind == kDitherTwoColours ? 2 : (kind == kDitherFourColours ? 4 : 16);
    row.first = doc.interlaced && parity == 1 ? 4 : 0;
    for (int i = 0; i < row.count; ++i) {
      const ColourValue c = doc.palette[static_cast<size_t>(row.first + i)];
      row.linear[i][0] = static_cast<float>(linear[redOf(c)]);
      row.linear[i][1] = static_cast<float>(linear[greenOf(c)]);
      row.linear[i][2] = static_cast<float>(linear[blueOf(c)]);
    }
  }
  return true;
}

// The result as shown, measured against the prepared source; -1 without memory.
double measured(const ImageDocument& result, const PerceptualErrorMeter& meter, int zoomX,
                int zoomY, int threads) {
  LinearPicture shown;
  return shownLinearPicture(result, zoomX, zoomY, shown) ? meter.meanDifference(shown, threads)
                                                         : -1;
}

}  // namespace

Status refinedDither(ImageDocument& doc, const EffectSettings& settings, int kind, int zoomX,
                     int zoomY, int threads) {
  if (zoomX < 1 || zoomY < 1) return Status(StatusCode::kNotApplicable, "the view has no zoom");
  ImageDocument refined;
  try {
    refined = doc;
  } catch (const std::bad_alloc&) {
    return Status(StatusCode::kOutOfMemory, "out of memory");
  }
  const Status perceptual = perceptualDither(refined, settings, kind, threads);
  if (!perceptual.ok()) return perceptual;
  const int bits = bitsPerPixel(refined.colourMode);
  if (bits != 1 && bits != 4) return Status(StatusCode::kNotApplicable, "no TVC colours to refine");
  // The perceptual result is the refinement's start: without the memory to refine it, it
  // is the answer.
  LinearPicture shownSource;
  PerceptualErrorMeter meter;
  EyeModel model;
  RowChoices choices[2];
  double error = -1;
  if (!shownLinearPicture(doc, zoomX, zoomY, shownSource) || !meter.prepare(shownSource, threads) ||
      !model.prepare(shownSource, meter, refined, zoomX, zoomY, threads) ||
      !rowChoicesOf(refined, kind, choices) ||
      (error = measured(refined, meter, zoomX, zoomY, threads)) < 0) {
    doc = std::move(refined);
    return StatusCode::kOk;
  }
  const int32_t blocksAcross = (refined.width + kBlock - 1) / kBlock;
  const int32_t blocksDown = (refined.height + kBlock - 1) / kBlock;
  const int64_t pixels = int64_t{refined.width} * refined.height;
  // The start (the closest so far by the full measure) and the best by the sweeps' own
  // sums of differences.
  std::vector<uint8_t> start, best;
  try {
    start = refined.pixels;
    best = refined.pixels;
  } catch (const std::bad_alloc&) {
    doc = std::move(refined);
    return StatusCode::kOk;
  }
  double bestSum = model.reweigh(threads);
  for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
    std::atomic<int64_t> changed{0};
    for (int pass = 0; pass < 4; ++pass) {
      const int32_t firstX = pass & 1, firstY = pass >> 1;
      const int32_t across = (blocksAcross - firstX + 1) / 2, down = (blocksDown - firstY + 1) / 2;
      const int32_t blocks = across * down;
      std::atomic<int32_t> next{0};
      runOnThreads(std::clamp(threads, 1, std::max(1, blocks)), [&](int) {
        int64_t mine = 0;
        for (int32_t i = next++; i < blocks; i = next++)
          mine += refineBlock(refined, model, choices, bits, firstX + 2 * (i % across),
                              firstY + 2 * (i / across));
        changed += mine;
      });
    }
    const double sum = model.reweigh(threads);
    if (sum < bestSum) {
      bestSum = sum;
      std::copy(refined.pixels.begin(), refined.pixels.end(), best.begin());
    }
    if (changed * 1000 < kSettledPerMille * pixels) break;
  }
  // The last picture, the best by the sums (where they mislead, as far from every
  // colour the sets hold, the last one often is closer), or the start: the closest by
  // the full measure.
  const double last = measured(refined, meter, zoomX, zoomY, threads);
  if (last >= 0 && last < error) {
    error = last;
    std::copy(refined.pixels.begin(), refined.pixels.end(), start.begin());
  }
  refined.pixels.swap(best);
  const double bestBySums = measured(refined, meter, zoomX, zoomY, threads);
  if (!(bestBySums >= 0 && bestBySums < error)) refined.pixels.swap(start);
  doc = std::move(refined);
  return StatusCode::kOk;
}

}  // namespace vz
