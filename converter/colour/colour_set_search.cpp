#include "converter/colour/colour_set_search.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <vector>

#include "converter/colour/conversion_support.h"
#include "converter/colour/conversions.h"
#include "converter/colour/perceptual_error.h"
#include "converter/colour/refined_dither.h"
#include "converter/model/tvc_colours.h"

namespace vz {

namespace {

// How many of the best predicted sets are converted on a reduced copy of the picture,
// and how many of the best of those are converted and measured at full size, besides
// the ones held.
constexpr size_t kSetsScreened = 32;
constexpr size_t kSetsConfirmed = 4;
// How many of the best single sets make the interlaced pairs.
constexpr size_t kSetsPaired = 8;
// How much the mixing of distant colours shows through the eye's blur: the share of
// the mix's spread that is left as noise after it (error diffusion pushes the noise to
// fine detail, which the blur mostly removes).
constexpr float kMixingNoise = 0.05f;
// The colour bins of the summary: levels per channel on the square root of linear light,
// which spaces them about evenly to the eye; fewer levels for pictures of many colours,
// so that at most kMostSamples bins hold pixels (or the coarsest levels are used).
constexpr int kBinLevelChoices[] = {16, 12, 9, 7};
constexpr size_t kMostSamples = 400;
// Rounds of the pair's mix: each set's best part given the other's.
constexpr int kPairRounds = 3;

using ColourChoices = std::array<uint8_t, 10>;

bool isTwoColour(SetConversion conversion) {
  return conversion != SetConversion::kDitherFourColours;
}

// The conversions whose pixel values come out the same whatever the set: the set only
// colours them.
bool valuesIgnoreTheSet(SetConversion conversion, const EffectSettings& settings) {
  return conversion == SetConversion::kNearestTwoColours || settings.ditherAlgorithm == kOrdered ||
         (conversion == SetConversion::kDitherTwoColours &&
          settings.ditherAlgorithm == kFloydSteinberg);
}

// The TVC indices of the distinct colours (black once, as 0).
std::vector<uint8_t> distinctTvcColours() {
  std::vector<uint8_t> indices;
  for (int i = 0; i < kTvcColourCount; ++i)
    if (tvcIndexOf(tvcColour(i)) == i) indices.push_back(static_cast<uint8_t>(i));
  return indices;
}

// Darkest first by grey level; equal levels by index.
void sortByGreyLevel(uint8_t* colours, int count) {
  std::sort(colours, colours + count, [](uint8_t a, uint8_t b) {
    return kTvcGreyLevels[a] != kTvcGreyLevels[b] ? kTvcGreyLevels[a] < kTvcGreyLevels[b] : a < b;
  });
}

// Every set of `size` distinct colours, each in grey-level order.
std::vector<std::array<uint8_t, 4>> everySet(int size) {
  const std::vector<uint8_t> colours = distinctTvcColours();
  const int n = static_cast<int>(colours.size());
  std::vector<std::array<uint8_t, 4>> sets;
  std::array<int, 4> pick{0, 1, 2, 3};
  while (true) {
    std::array<uint8_t, 4> set{};
    for (int i = 0; i < size; ++i)
      set[static_cast<size_t>(i)] = colours[static_cast<size_t>(pick[static_cast<size_t>(i)])];
    sortByGreyLevel(set.data(), size);
    sets.push_back(set);
    int i = size - 1;
    while (i >= 0 && pick[static_cast<size_t>(i)] == n - size + i) --i;
    if (i < 0) break;
    ++pick[static_cast<size_t>(i)];
    for (int j = i + 1; j < size; ++j)
      pick[static_cast<size_t>(j)] = pick[static_cast<size_t>(j - 1)] + 1;
  }
  return sets;
}

// One bin of the summary: its weight, its mean blurred colour as the local colour scale
// of that colour sees it, every TVC colour seen the same way, and (for conversions whose
// values ignore the set) the mean share of each pixel value after the blur.
struct Sample {
  float weight;
  float target[3];
  float tvc[kTvcColourCount][3];
  float shares[4];
};

using Point = std::array<float, 3>;

float dot(const float* a, const float* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The point of the hull of `count` (at most 4) points nearest to the target: its squared
// distance, and the weights of the points that make it. Every group of the points is
// tried: the nearest point lies inside one of them, where it is the target's projection
// onto the group's plane (groups that make no plane of their size are covered by
// smaller ones).
float nearestInHull(const Point* points, int count, const float* target, float* weights) {
  float best = -1;
  for (int mask = (1 << count) - 1; mask > 0; --mask) {
    int members[4];
    int k = 0;
    for (int i = 0; i < count; ++i)
      if (mask & (1 << i)) members[k++] = i;
    const float* origin = points[members[0]].data();
    float edges[3][3], toTarget[3];
    for (int c = 0; c < 3; ++c) toTarget[c] = target[c] - origin[c];
    for (int j = 1; j < k; ++j)
      for (int c = 0; c < 3; ++c)
        edges[j - 1][c] = points[members[j]][static_cast<size_t>(c)] - origin[c];
    float mu[3] = {0, 0, 0};
    if (k == 2) {
      const float length = dot(edges[0], edges[0]);
      if (length <= 1e-12f) continue;
      mu[0] = dot(toTarget, edges[0]) / length;
    } else if (k == 3) {
      const float g00 = dot(edges[0], edges[0]), g01 = dot(edges[0], edges[1]),
                  g11 = dot(edges[1], edges[1]);
      const float det = g00 * g11 - g01 * g01;
      if (det <= 1e-6f * g00 * g11 || det <= 1e-18f) continue;
      const float r0 = dot(toTarget, edges[0]), r1 = dot(toTarget, edges[1]);
      mu[0] = (r0 * g11 - r1 * g01) / det;
      mu[1] = (g00 * r1 - g01 * r0) / det;
    } else if (k == 4) {
      // Cramer's rule on the edges as columns.
      const auto det3 = [](const float* a, const float* b, const float* c) {
        return a[0] * (b[1] * c[2] - b[2] * c[1]) - b[0] * (a[1] * c[2] - a[2] * c[1]) +
               c[0] * (a[1] * b[2] - a[2] * b[1]);
      };
      const float det = det3(edges[0], edges[1], edges[2]);
      const float scale =
          dot(edges[0], edges[0]) * dot(edges[1], edges[1]) * dot(edges[2], edges[2]);
      if (det * det <= 1e-6f * scale || scale <= 1e-30f) continue;
      mu[0] = det3(toTarget, edges[1], edges[2]) / det;
      mu[1] = det3(edges[0], toTarget, edges[2]) / det;
      mu[2] = det3(edges[0], edges[1], toTarget) / det;
    }
    float first = 1;
    bool inside = true;
    for (int j = 0; j < k - 1; ++j) {
      inside = inside && mu[j] >= 0;
      first -= mu[j];
    }
    if (!inside || first < 0) continue;
    float offset[3];
    for (int c = 0; c < 3; ++c) {
      offset[c] = toTarget[c];
      for (int j = 0; j < k - 1; ++j) offset[c] -= mu[j] * edges[j][c];
    }
    const float distance = dot(offset, offset);
    if (best < 0 || distance < best) {
      best = distance;
      for (int i = 0; i < count; ++i) weights[i] = 0;
      weights[members[0]] = first;
      for (int j = 1; j < k; ++j) weights[members[j]] = mu[j - 1];
    }
    if (k == 4) break;  // inside the whole hull: nothing is nearer
  }
  return best;
}

// The target's weights in the hull of 4 points when it lies inside (the squared
// distance, about 0, returned); -1 when it lies outside or the hull is flat.
float nearestInHullWhole(const Point* points, const float* target, float* weights) {
  float edges[3][3], toTarget[3];
  for (int c = 0; c < 3; ++c) toTarget[c] = target[c] - points[0][static_cast<size_t>(c)];
  for (int j = 1; j < 4; ++j)
    for (int c = 0; c < 3; ++c)
      edges[j - 1][c] = points[j][static_cast<size_t>(c)] - points[0][static_cast<size_t>(c)];
  const auto det3 = [](const float* a, const float* b, const float* c) {
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - b[0] * (a[1] * c[2] - a[2] * c[1]) +
           c[0] * (a[1] * b[2] - a[2] * b[1]);
  };
  const float det = det3(edges[0], edges[1], edges[2]);
  const float scale = dot(edges[0], edges[0]) * dot(edges[1], edges[1]) * dot(edges[2], edges[2]);
  if (det * det <= 1e-6f * scale || scale <= 1e-30f) return -1;
  const float mu[3] = {det3(toTarget, edges[1], edges[2]) / det,
                       det3(edges[0], toTarget, edges[2]) / det,
                       det3(edges[0], edges[1], toTarget) / det};
  const float first = 1 - mu[0] - mu[1] - mu[2];
  if (mu[0] < 0 || mu[1] < 0 || mu[2] < 0 || first < 0) return -1;
  float offset[3];
  for (int c = 0; c < 3; ++c)
    offset[c] = toTarget[c] - mu[0] * edges[0][c] - mu[1] * edges[1][c] - mu[2] * edges[2][c];
  weights[0] = first;
  for (int j = 0; j < 3; ++j) weights[j + 1] = mu[j];
  return dot(offset, offset);
}

// The mix's spread: the weighted squared distances of its colours from their mean.
float spreadOf(const Point* points, int count, const float* weights, const float* mean) {
  float spread = 0;
  for (int i = 0; i < count; ++i) {
    float d[3];
    for (int c = 0; c < 3; ++c) d[c] = points[i][static_cast<size_t>(c)] - mean[c];
    spread += weights[i] * dot(d, d);
  }
  return spread;
}

// The predicted error of one bin with the first set on even rows and the second on odd
// ones (the same set twice when not interlaced).
float predictedError(const Sample& sample, const uint8_t* first, const uint8_t* second, int size,
                     bool mixesFreely) {
  Point even[4], odd[4];
  for (int i = 0; i < size; ++i)
    for (int c = 0; c < 3; ++c) {
      even[i][static_cast<size_t>(c)] = sample.tvc[first[i]][c];
      odd[i][static_cast<size_t>(c)] = sample.tvc[second[i]][c];
    }
  if (!mixesFreely) {
    float mean[3] = {0, 0, 0};
    for (int i = 0; i < size; ++i)
      for (int c = 0; c < 3; ++c) mean[c] += sample.shares[i] * even[i][static_cast<size_t>(c)];
    float d[3];
    for (int c = 0; c < 3; ++c) d[c] = sample.target[c] - mean[c];
    return sample.weight * std::sqrt(dot(d, d));
  }
  float evenWeights[4], oddWeights[4];
  float distance = nearestInHull(even, size, sample.target, evenWeights);
  float mean[3];
  for (int c = 0; c < 3; ++c) mean[c] = 0;
  for (int i = 0; i < size; ++i)
    for (int c = 0; c < 3; ++c) mean[c] += evenWeights[i] * even[i][static_cast<size_t>(c)];
  float spread = spreadOf(even, size, evenWeights, mean);
  if (first != second) {
    // Half the dots from each set: each part the best given the other.
    float evenPart[3], oddPart[3];
    for (int c = 0; c < 3; ++c) evenPart[c] = mean[c];
    for (int round = 0; round < kPairRounds; ++round) {
      float wanted[3];
      for (int c = 0; c < 3; ++c) wanted[c] = 2 * sample.target[c] - evenPart[c];
      nearestInHull(odd, size, wanted, oddWeights);
      for (int c = 0; c < 3; ++c) {
        oddPart[c] = 0;
        for (int i = 0; i < size; ++i) oddPart[c] += oddWeights[i] * odd[i][static_cast<size_t>(c)];
        wanted[c] = 2 * sample.target[c] - oddPart[c];
      }
      nearestInHull(even, size, wanted, evenWeights);
      for (int c = 0; c < 3; ++c) {
        evenPart[c] = 0;
        for (int i = 0; i < size; ++i)
          evenPart[c] += evenWeights[i] * even[i][static_cast<size_t>(c)];
      }
    }
    float d[3];
    for (int c = 0; c < 3; ++c) {
      mean[c] = (evenPart[c] + oddPart[c]) / 2;
      d[c] = sample.target[c] - mean[c];
    }
    distance = dot(d, d);
    spread = (spreadOf(even, size, evenWeights, mean) + spreadOf(odd, size, oddWeights, mean)) / 2;
  }
  return sample.weight * std::sqrt(distance + kMixingNoise * kMixingNoise * spread);
}

// One bin's nearest points on every vertex, edge and triangle of the TVC colours (as
// that bin sees them), shared by the many sets that hold each of them. A set's nearest
// point is then inside its whole hull, or else the nearest of those of its faces.
class FaceTable {
 public:
  void fill(const Sample& sample) {
    sample_ = &sample;
    for (int i = 0; i < kTvcColourCount; ++i) {
      float d[3];
      for (int c = 0; c < 3; ++c) d[c] = sample.target[c] - sample.tvc[i][c];
      vertices_[i] = {dot(d, d), {0, 0}, true};
    }
    for (int i = 0; i < kTvcColourCount; ++i)
      for (int j = i + 1; j < kTvcColourCount; ++j) {
        Face& edge = edges_[i][j];
        edge.feasible = false;
        float along[3], toTarget[3];
        for (int c = 0; c < 3; ++c) {
          along[c] = sample.tvc[j][c] - sample.tvc[i][c];
          toTarget[c] = sample.target[c] - sample.tvc[i][c];
        }
        const float length = dot(along, along);
        if (length <= 1e-12f) continue;
        const float mu = dot(toTarget, along) / length;
        if (!(mu > 0 && mu < 1)) continue;
        float offset[3];
        for (int c = 0; c < 3; ++c) offset[c] = toTarget[c] - mu * along[c];
        edge = {dot(offset, offset), {mu, 0}, true};
      }
    for (int i = 0; i < kTvcColourCount; ++i)
      for (int j = i + 1; j < kTvcColourCount; ++j)
        for (int k = j + 1; k < kTvcColourCount; ++k) triangles_[i][j][k] = triangle(i, j, k);
  }

  // The set's colours in increasing index order; the weights in the same order.
  float nearest(const uint8_t* set, int size, float* weights) const {
    for (int i = 0; i < size; ++i) weights[i] = 0;
    if (size == 4) {
      Point points[4];
      for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) points[i][static_cast<size_t>(c)] = sample_->tvc[set[i]][c];
      // Only the whole hull: nearestInHull stops there when the target is inside.
      float inside[4];
      const float distance = nearestInHullWhole(points, sample_->target, inside);
      if (distance >= 0) {
        for (int i = 0; i < 4; ++i) weights[i] = inside[i];
        return distance;
      }
    }
    float best = -1;
    const auto consider = [&](const Face& face, int a, int b, int c) {
      if (!face.feasible || (best >= 0 && face.distance >= best)) return;
      best = face.distance;
      for (int i = 0; i < size; ++i) weights[i] = 0;
      if (c >= 0) {
        weights[a] = 1 - face.mu[0] - face.mu[1];
        weights[b] = face.mu[0];
        weights[c] = face.mu[1];
      } else if (b >= 0) {
        weights[a] = 1 - face.mu[0];
        weights[b] = face.mu[0];
      } else {
        weights[a] = 1;
      }
    };
    if (size == 4)
      for (int skip = 3; skip >= 0; --skip) {
        int m[3], n = 0;
        for (int i = 0; i < 4; ++i)
          if (i != skip) m[n++] = i;
        consider(triangles_[set[m[0]]][set[m[1]]][set[m[2]]], m[0], m[1], m[2]);
      }
    for (int a = 0; a < size; ++a)
      for (int b = a + 1; b < size; ++b) consider(edges_[set[a]][set[b]], a, b, -1);
    for (int a = 0; a < size; ++a) consider(vertices_[set[a]], a, -1, -1);
    return best;
  }

 private:
  struct Face {
    float distance;
    float mu[2];
    bool feasible;
  };

  Face triangle(int i, int j, int k) const {
    const Sample& sample = *sample_;
    float e0[3], e1[3], toTarget[3];
    for (int c = 0; c < 3; ++c) {
      e0[c] = sample.tvc[j][c] - sample.tvc[i][c];
      e1[c] = sample.tvc[k][c] - sample.tvc[i][c];
      toTarget[c] = sample.target[c] - sample.tvc[i][c];
    }
    const float g00 = dot(e0, e0), g01 = dot(e0, e1), g11 = dot(e1, e1);
    const float det = g00 * g11 - g01 * g01;
    if (det <= 1e-6f * g00 * g11 || det <= 1e-18f) return {0, {0, 0}, false};
    const float r0 = dot(toTarget, e0), r1 = dot(toTarget, e1);
    const float mu0 = (r0 * g11 - r1 * g01) / det, mu1 = (g00 * r1 - g01 * r0) / det;
    if (!(mu0 > 0 && mu1 > 0 && mu0 + mu1 < 1)) return {0, {0, 0}, false};
    float offset[3];
    for (int c = 0; c < 3; ++c) offset[c] = toTarget[c] - mu0 * e0[c] - mu1 * e1[c];
    return {dot(offset, offset), {mu0, mu1}, true};
  }

  const Sample* sample_ = nullptr;
  Face vertices_[kTvcColourCount];
  Face edges_[kTvcColourCount][kTvcColourCount];
  Face triangles_[kTvcColourCount][kTvcColourCount][kTvcColourCount];
};

// The summary of the picture the sets are ranked on.
struct Summary {
  std::vector<Sample> samples;
  bool mixesFreely = true;
};

// Runs the conversion the sets are for. The refined dither starts from the perceptual
// one and keeps its colours, so its sets are measured with the perceptual dither.
void convertWith(ImageDocument& doc, const EffectSettings& settings, const ColourSetTarget& target,
                 int threads) {
  if (target.conversion == SetConversion::kNearestTwoColours) {
    nearestColourConversion(doc, settings, 2, threads);
    return;
  }
  const int kind = target.conversion == SetConversion::kDitherTwoColours ? kDitherTwoColours
                                                                         : kDitherFourColours;
  if (settings.ditherAlgorithm == kFloydSteinberg)
    floydSteinbergDither(doc, settings, kind, threads);
  else if (settings.ditherAlgorithm == kOrdered)
    orderedDither(doc, settings, kind, threads);
  else
    perceptualDither(doc, settings, kind, threads);
}

// The shown result of converting with the given colours; false when the conversion or
// the memory failed.
bool shownResult(const ImageDocument& picture, const EffectSettings& settings,
                 const ColourSetTarget& target, int threads, LinearPicture& shown) {
  ImageDocument doc;
  try {
    doc = picture;
  } catch (const std::bad_alloc&) {
    return false;
  }
  convertWith(doc, settings, target, threads);
  const bool interlaced = setsUsedBy(target.conversion, settings)[kEvenLineSetId];
  const ColourMode expectedMode = isTwoColour(target.conversion) ? ColourMode::kColours2
                                  : interlaced                   ? ColourMode::kColours16
                                                                 : ColourMode::kColours4;
  return doc.colourMode == expectedMode && doc.pixels != picture.pixels &&
         shownLinearPicture(doc, target.zoomX, target.zoomY, shown);
}

bool summarise(const ImageDocument& picture, const EffectSettings& settings,
               const ColourSetTarget& target, const LinearPicture& blurred, int threads,
               Summary& summary) {
  summary.mixesFreely = !valuesIgnoreTheSet(target.conversion, settings);
  // The shares of each pixel value after the blur, for conversions that ignore the set.
  LinearPicture shares;
  if (!summary.mixesFreely) {
    LinearPicture values;
    ImageDocument converted;
    try {
      converted = picture;
    } catch (const std::bad_alloc&) {
      return false;
    }
    convertWith(converted, settings, target, threads);
    const ColourMode expectedMode =
        isTwoColour(target.conversion) ? ColourMode::kColours2 : ColourMode::kColours4;
    if (converted.colourMode != expectedMode) return false;
    // Palette entry i as the colour (1, 0, 0), (0, 1, 0), (0, 0, 1) or black: the blur then
    // gives the shares of values 0..2 directly, and value 3 the rest.
    for (size_t i = 0; i < 4; ++i)
      converted.palette[i] = i < 3 ? static_cast<ColourValue>(0xFF) << (8 * i) : 0;
    if (!shownLinearPicture(converted, target.zoomX, target.zoomY, values) ||
        !blurAsTheEyeSees(values, shares, threads))
      return false;
  }
  struct Bin {
    double weight = 0;
    double colour[3] = {0, 0, 0};
    double shares[3] = {0, 0, 0};
  };
  std::vector<Bin> bins;
  for (int levels : kBinLevelChoices) {
    bins.assign(static_cast<size_t>(levels * levels * levels), Bin{});
    const auto levelOf = [levels](float linear) {
      return std::min(
          static_cast<int>(std::sqrt(std::max(linear, 0.0f)) * static_cast<float>(levels)),
          levels - 1);
    };
    size_t used = 0;
    for (int32_t y = 0; y < blurred.height; ++y)
      for (int32_t x = 0; x < blurred.width; ++x) {
        const float* colour = blurred.at(x, y);
        Bin& bin = bins[static_cast<size_t>(
            (levelOf(colour[0]) * levels + levelOf(colour[1])) * levels + levelOf(colour[2]))];
        used += bin.weight == 0;
        bin.weight += 1;
        for (int c = 0; c < 3; ++c) bin.colour[c] += colour[c];
        if (!summary.mixesFreely)
          for (int c = 0; c < 3; ++c) bin.shares[c] += shares.at(x, y)[c];
      }
    if (used <= kMostSamples) break;
  }
  const std::array<double, 256>& linear = linearOfByteTable();
  const double total = static_cast<double>(blurred.width) * blurred.height;
  for (const Bin& bin : bins) {
    if (bin.weight == 0) continue;
    Sample sample{};
    double mean[3];
    for (int c = 0; c < 3; ++c) mean[c] = bin.colour[c] / bin.weight;
    const LocalColourScale scale = localColourScale(mean[0], mean[1], mean[2]);
    const auto seen = [&](const double* colour, float* out) {
      for (size_t row = 0; row < 3; ++row)
        out[row] =
            static_cast<float>(scale.rows[row][0] * colour[0] + scale.rows[row][1] * colour[1] +
                               scale.rows[row][2] * colour[2]);
    };
    sample.weight = static_cast<float>(bin.weight / total);
    seen(mean, sample.target);
    for (int i = 0; i < kTvcColourCount; ++i) {
      const ColourValue c = tvcColour(i);
      const double colour[3] = {linear[redOf(c)], linear[greenOf(c)], linear[blueOf(c)]};
      seen(colour, sample.tvc[i]);
    }
    float rest = 1;
    for (int c = 0; c < 3; ++c) {
      sample.shares[c] = static_cast<float>(bin.shares[c] / bin.weight);
      rest -= sample.shares[c];
    }
    sample.shares[3] = rest;
    try {
      summary.samples.push_back(sample);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return true;
}

// A choice of colours to rank: the whole colourChoices with the chosen sets filled in.
struct Candidate {
  ColourChoices colours;
  double predicted = 0;
};

// Scores every candidate on the summary. Single sets of colours mixed freely share each
// bin's faces: the bins are shared among the threads, each bin's scores kept apart and
// added up in bin order afterwards; other candidates are shared among the threads.
void predict(const Summary& summary, std::vector<Candidate>& candidates, int size, bool interlaced,
             int threads) {
  const size_t offset = size == 2 ? kTwoColourSet : kFourColourSet;
  const size_t count = candidates.size(), samples = summary.samples.size();
  std::atomic<size_t> next{0};
  const int workers = std::clamp(threads, 1, 64);
  if (!summary.mixesFreely || interlaced) {
    constexpr size_t kChunk = 16;
    runOnThreads(workers, [&](int) {
      for (size_t start = next.fetch_add(kChunk); start < count; start = next.fetch_add(kChunk)) {
        for (size_t i = start; i < std::min(start + kChunk, count); ++i) {
          const uint8_t* first = &candidates[i].colours[offset];
          const uint8_t* second = interlaced ? &candidates[i].colours[kEvenLineSet] : first;
          double total = 0;
          for (const Sample& sample : summary.samples)
            total += predictedError(sample, first, second, size, summary.mixesFreely);
          candidates[i].predicted = total;
        }
      }
    });
    return;
  }
  std::vector<std::array<uint8_t, 4>> byIndex(count);
  for (size_t i = 0; i < count; ++i) {
    std::copy(&candidates[i].colours[offset], &candidates[i].colours[offset] + size,
              byIndex[i].begin());
    std::sort(byIndex[i].begin(), byIndex[i].begin() + size);
  }
  std::vector<float> scores(samples * count);
  std::vector<FaceTable> tables(static_cast<size_t>(workers));
  runOnThreads(workers, [&](int worker) {
    FaceTable* faces = &tables[static_cast<size_t>(worker)];
    for (size_t s = next++; s < samples; s = next++) {
      const Sample& sample = summary.samples[s];
      faces->fill(sample);
      for (size_t i = 0; i < count; ++i) {
        float weights[4];
        const float distance = faces->nearest(byIndex[i].data(), size, weights);
        Point points[4];
        float mean[3] = {0, 0, 0};
        for (int k = 0; k < size; ++k)
          for (int c = 0; c < 3; ++c) {
            points[k][static_cast<size_t>(c)] = sample.tvc[byIndex[i][static_cast<size_t>(k)]][c];
            mean[c] += weights[k] * points[k][static_cast<size_t>(c)];
          }
        const float spread = spreadOf(points, size, weights, mean);
        scores[s * count + i] =
            sample.weight * std::sqrt(distance + kMixingNoise * kMixingNoise * spread);
      }
    }
  });
  for (size_t i = 0; i < count; ++i) {
    double total = 0;
    for (size_t s = 0; s < samples; ++s) total += scores[s * count + i];
    candidates[i].predicted = total;
  }
}

void rank(std::vector<Candidate>& candidates) {
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const Candidate& a, const Candidate& b) { return a.predicted < b.predicted; });
}

// The candidates with the chosen set (at `offset`, `size` colours) each of the sets.
std::vector<Candidate> withEverySet(const ColourChoices& base, size_t offset, int size) {
  std::vector<Candidate> candidates;
  for (const std::array<uint8_t, 4>& set : everySet(size)) {
    Candidate candidate{base, 0};
    std::copy(set.begin(), set.begin() + size,
              candidate.colours.begin() + static_cast<long>(offset));
    candidates.push_back(candidate);
  }
  return candidates;
}

// The screening's measure: the mean size of the blurred difference under the local
// colour scale of the blurred original (about its CIEDE2000 difference where the two
// are close), much quicker than the full measure.
class QuickMeter {
 public:
  bool prepare(const LinearPicture& original, int threads) {
    if (!blurAsTheEyeSees(original, blurredOriginal_, threads)) return false;
    scales_.assign(blurredOriginal_.values.size() / 3, LocalColourScale{});
    const int32_t width = original.width;
    forEachRowBand(original.height, threads, [&](int32_t begin, int32_t end) {
      for (size_t i = static_cast<size_t>(begin) * width; i < static_cast<size_t>(end) * width;
           ++i) {
        const float* c = blurredOriginal_.values.data() + 3 * i;
        scales_[i] = localColourScale(c[0], c[1], c[2]);
      }
    });
    return true;
  }

  double meanDifference(const LinearPicture& result) const {
    LinearPicture blurred;
    if (result.width != blurredOriginal_.width || result.height != blurredOriginal_.height ||
        !blurAsTheEyeSees(result, blurred, 1))
      return -1;
    double total = 0;
    for (size_t i = 0; i < scales_.size(); ++i) {
      float d[3];
      for (int c = 0; c < 3; ++c)
        d[c] = blurred.values[3 * i + c] - blurredOriginal_.values[3 * i + c];
      float square = 0;
      for (size_t row = 0; row < 3; ++row) {
        const float v = dot(scales_[i].rows[row].data(), d);
        square += v * v;
      }
      total += std::sqrt(square);
    }
    return total / static_cast<double>(scales_.size());
  }

 private:
  LinearPicture blurredOriginal_;
  std::vector<LocalColourScale> scales_;
};

// A half-size copy of a true-colour picture for the screening (halving averages the
// pixels as the eye's blur would); small and indexed pictures as they are.
ImageDocument reducedCopy(const ImageDocument& picture, int threads) {
  ImageDocument copy = picture;
  if (copy.colourMode == ColourMode::kTrueColour && copy.width >= 64 && copy.height >= 64) {
    halve(copy, kHalveHorizontally, threads);
    halve(copy, kHalveVertically, threads);
  }
  return copy;
}

// Converts the picture with each choice of colours and measures the result, the choices
// shared among the threads (each converted on one); -1 for a result that could not be
// made. The measure takes the shown result.
template <typename Measure>
std::vector<double> measureEach(const ImageDocument& picture, const EffectSettings& settings,
                                const ColourSetTarget& target,
                                const std::vector<ColourChoices>& choices, int threads,
                                const Measure& measure) {
  std::vector<double> errors(choices.size(), -1);
  std::atomic<size_t> next{0};
  runOnThreads(std::clamp(threads, 1, static_cast<int>(std::max<size_t>(1, choices.size()))),
               [&](int) {
                 for (size_t i = next++; i < choices.size(); i = next++) {
                   EffectSettings trial = settings;
                   trial.colourChoices = choices[i];
                   LinearPicture shown;
                   try {
                     if (shownResult(picture, trial, target, 1, shown)) errors[i] = measure(shown);
                   } catch (const std::bad_alloc&) {
                   }
                 }
               });
  return errors;
}

}  // namespace

std::array<bool, 3> setsUsedBy(SetConversion conversion, const EffectSettings& settings) {
  if (isTwoColour(conversion)) return {true, false, false};
  const bool interlaced = settings.interlacedFourColour && settings.ditherAlgorithm != kOrdered;
  return {false, true, interlaced};
}

Status chooseColourSets(const ImageDocument& picture, EffectSettings& settings,
                        const ColourSetTarget& target, int threads) {
  const bool readable = target.conversion == SetConversion::kNearestTwoColours
                            ? bitsPerPixel(picture.colourMode) != 1
                            : readsAsColours(picture.colourMode);
  if (!hasConvertiblePicture(picture) || !readable || target.zoomX < 1 || target.zoomY < 1)
    return Status(StatusCode::kNotApplicable, "no picture to choose colours for");
  const std::array<bool, 3> used = setsUsedBy(target.conversion, settings);
  std::array<bool, 3> choose{};
  for (size_t i = 0; i < 3; ++i) choose[i] = used[i] && target.choose[i];
  if (!choose[0] && !choose[1] && !choose[2]) return StatusCode::kOk;
  const Status noMemory(StatusCode::kOutOfMemory, "no memory to choose the colours");

  try {
    LinearPicture original;
    PerceptualErrorMeter meter;
    Summary summary;
    if (!shownLinearPicture(picture, target.zoomX, target.zoomY, original) ||
        !meter.prepare(original, threads) ||
        !summarise(picture, settings, target, meter.blurredOriginal(), threads, summary))
      return noMemory;

    // The reduced copy the best predicted candidates are screened on.
    const ImageDocument reduced = reducedCopy(picture, threads);
    LinearPicture reducedOriginal;
    QuickMeter quickMeter;
    if (!shownLinearPicture(reduced, target.zoomX, target.zoomY, reducedOriginal) ||
        !quickMeter.prepare(reducedOriginal, threads))
      return noMemory;
    // Ranks the candidates by the prediction, then the best of them by the screening.
    const auto screen = [&](std::vector<Candidate>& candidates, const EffectSettings& trial,
                            bool pairs) {
      predict(summary, candidates, isTwoColour(target.conversion) ? 2 : 4, pairs, threads);
      rank(candidates);
      candidates.resize(std::min(candidates.size(), kSetsScreened));
      std::vector<ColourChoices> choices;
      for (const Candidate& candidate : candidates) choices.push_back(candidate.colours);
      const std::vector<double> quick =
          measureEach(reduced, trial, target, choices, threads,
                      [&](const LinearPicture& shown) { return quickMeter.meanDifference(shown); });
      for (size_t i = 0; i < candidates.size(); ++i) {
        if (quick[i] < 0) return false;
        candidates[i].predicted = quick[i];
      }
      rank(candidates);
      return true;
    };

    const bool interlaced = used[kEvenLineSetId];
    std::vector<Candidate> ranked;
    if (isTwoColour(target.conversion)) {
      ranked = withEverySet(settings.colourChoices, kTwoColourSet, 2);
    } else if (!interlaced || !choose[kFourColourSetId] || !choose[kEvenLineSetId]) {
      ranked = withEverySet(settings.colourChoices,
                            choose[kFourColourSetId] ? kFourColourSet : kEvenLineSet, 4);
    } else {
      // Pairs of the best single sets, screened without interlace.
      std::vector<Candidate> singles = withEverySet(settings.colourChoices, kFourColourSet, 4);
      EffectSettings single = settings;
      single.interlacedFourColour = false;
      if (!screen(singles, single, false)) return noMemory;
      singles.resize(std::min(singles.size(), kSetsPaired));
      for (const Candidate& even : singles)
        for (const Candidate& odd : singles) {
          Candidate pair = even;
          std::copy(odd.colours.begin() + kFourColourSet, odd.colours.begin() + kFourColourSet + 4,
                    pair.colours.begin() + kEvenLineSet);
          ranked.push_back(pair);
        }
    }
    if (!screen(ranked, settings, interlaced)) return noMemory;

    // At full size: the sets held and the start sets first, so that they win ties; then
    // the best few.
    std::vector<ColourChoices> confirmed = {settings.colourChoices};
    ColourChoices start = settings.colourChoices;
    const ColourChoices defaults = EffectSettings{}.colourChoices;
    for (size_t i = 0; i < start.size(); ++i)
      if (choose[i < kFourColourSet ? 0 : (i < kEvenLineSet ? 1 : 2)]) start[i] = defaults[i];
    confirmed.push_back(start);
    for (size_t i = 0; i < ranked.size() && i < kSetsConfirmed; ++i)
      confirmed.push_back(ranked[i].colours);
    std::vector<ColourChoices> distinct;
    for (const ColourChoices& choice : confirmed)
      if (std::find(distinct.begin(), distinct.end(), choice) == distinct.end())
        distinct.push_back(choice);
    const std::vector<double> errors =
        measureEach(picture, settings, target, distinct, threads,
                    [&](const LinearPicture& shown) { return meter.meanDifference(shown, 1); });
    ColourChoices best = settings.colourChoices;
    double bestError = -1;
    for (size_t i = 0; i < distinct.size(); ++i) {
      if (errors[i] < 0) return noMemory;
      if (bestError < 0 || errors[i] < bestError) {
        bestError = errors[i];
        best = distinct[i];
      }
    }
    settings.colourChoices = best;
  } catch (const std::bad_alloc&) {
    return noMemory;
  }
  return StatusCode::kOk;
}

}  // namespace vz
