#include "converter/colour/conversion_support.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "converter/colour/conversions.h"

namespace vz {

bool hasConvertiblePicture(const ImageDocument& doc) {
  if (!doc.holdsPicture() || doc.width <= 0 || doc.height <= 0) return false;
  const int64_t stride = rowStrideFor(doc.colourMode, doc.width);
  if (stride <= 0 || doc.rowStride < stride) return false;
  return doc.pixels.size() / static_cast<size_t>(doc.rowStride) >= static_cast<size_t>(doc.height);
}

ColourMode ditheredColourMode(int kind, bool interlaced) {
  if (kind == kDitherTwoColours) return ColourMode::kColours2;
  return kind == kDitherFourColours && !interlaced ? ColourMode::kColours4 : ColourMode::kColours16;
}

bool readsAsColours(ColourMode colourMode) {
  return colourMode == ColourMode::kTrueColour || bitsPerPixel(colourMode) == 4 ||
         bitsPerPixel(colourMode) == 8;
}

GreyLevelTable::GreyLevelTable() {
  for (int v = 0; v < 256; ++v) {
    blue_[v] = v * 0.11;
    green_[v] = v * 0.59;
    red_[v] = v * 0.3;
  }
}

const GreyLevelTable& greyLevelTable() {
  static const GreyLevelTable table;
  return table;
}

void installPixels(ImageDocument& doc, std::vector<uint8_t>&& pixels, int32_t rowStride,
                   ColourMode colourMode) {
  doc.pixels = std::move(pixels);
  doc.rowStride = rowStride;
  doc.colourMode = colourMode;
}

const double* NearestColourSearch::quotientRows() {
  static const std::vector<double> rows = [] {
    std::vector<double> table(256 * 256, 0.0);
    for (int range = 1; range < 256; ++range)
      for (int numerator = 0; numerator <= range; ++numerator)
        table[static_cast<size_t>(range * 256 + numerator)] =
            numerator / static_cast<double>(range);
    return table;
  }();
  return rows.data();
}

int NearestColourSearch::nearestByDistances(ColourValue colour) const {
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
  const simd::Double2 vc = simd::broadcastDouble(c), vm = simd::broadcastDouble(m);
  const simd::Double2 vy = simd::broadcastDouble(y), vk = simd::broadcastDouble(black);
  for (int i = 0; i < list.paddedCount; i += 2) {
    const simd::Double2 dc = simd::subtract(vc, simd::loadAligned2(list.c + i));
    const simd::Double2 dm = simd::subtract(vm, simd::loadAligned2(list.m + i));
    const simd::Double2 dy = simd::subtract(vy, simd::loadAligned2(list.y + i));
    const simd::Double2 dk = simd::subtract(vk, simd::loadAligned2(list.k + i));
    simd::Double2 sum = simd::add(simd::multiply(dc, dc), simd::multiply(dm, dm));
    sum = simd::add(sum, simd::multiply(dy, dy));
    sum = simd::add(sum, simd::multiply(dk, dk));
    simd::storeAligned2(distances + i, sum);
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

NearestColourSearch::NearestColourSearch(const ColourValue* candidates, int count) {
  std::vector<Cmyk> forms;
  for (int i = 0; i < count; ++i) forms.push_back(cmykOf(candidates[i]));
  // A repeated colour never beats its first occurrence, so only first occurrences count.
  std::vector<int> distinct;
  for (int i = 0; i < count; ++i) {
    bool repeated = false;
    for (int j = 0; j < i; ++j) repeated = repeated || candidates[j] == candidates[i];
    if (!repeated) distinct.push_back(i);
  }
  for (int k = 0; k < 256; ++k) {
    auto blackSquare = [&](int i) {
      const int dk = k - static_cast<int>(forms[static_cast<size_t>(i)].k);
      return dk * dk;
    };
    int smallest = blackSquare(distinct[0]);
    for (int i : distinct) smallest = std::min(smallest, blackSquare(i));
    Contenders list;
    for (int i : distinct) {
      if (blackSquare(i) > smallest + 3) continue;
      const Cmyk& form = forms[static_cast<size_t>(i)];
      list.c[list.count] = form.c;
      list.m[list.count] = form.m;
      list.y[list.count] = form.y;
      list.k[list.count] = form.k;
      list.index[list.count] = static_cast<uint8_t>(i);
      ++list.count;
    }
    list.paddedCount = list.count;
    if (list.count % 2) {
      const int last = list.count - 1;
      list.c[list.count] = list.c[last];
      list.m[list.count] = list.m[last];
      list.y[list.count] = list.y[last];
      list.k[list.count] = list.k[last];
      list.index[list.count] = list.index[last];
      ++list.paddedCount;
    }
    // Neighbouring black components mostly share one list.
    size_t id = 0;
    while (id < contenders_.size() &&
           !(contenders_[id].count == list.count &&
             std::equal(list.index, list.index + list.count, contenders_[id].index)))
      ++id;
    if (id == contenders_.size()) contenders_.push_back(list);
    contendersOfBlack_[k] = static_cast<uint8_t>(id);
  }

  for (int i = 0; i < count; ++i) {
    const Cmyk& form = forms[static_cast<size_t>(i)];
    for (double component : {form.c, form.m, form.y})
      binaryForms_ = binaryForms_ && (component == 0.0 || component == 1.0);
  }
  nearestOfBlack_ = nearestByDistances(makeColour(0, 0, 0));
  if (!binaryForms_) return;
  lanesOfBlack_.resize(255);
  for (int k = 0; k < 255; ++k) {
    const Contenders& list = contenders_[contendersOfBlack_[k]];
    double smallest = 255.0 * 255.0;
    for (int i = 0; i < list.count; ++i)
      smallest = std::min(smallest, (k - list.k[i]) * (k - list.k[i]));
    alignas(16) int16_t weight[kMaxCandidates], cyan[kMaxCandidates], magenta[kMaxCandidates],
        yellow[kMaxCandidates];
    Lanes& lanes = lanesOfBlack_[static_cast<size_t>(k)];
    for (int i = 0; i < kMaxCandidates; ++i) {
      const bool used = i < list.count;
      weight[i] = 128;
      cyan[i] = magenta[i] = yellow[i] = 0;
      lanes.index[i] = used ? list.index[i] : 0;
      if (!used) continue;
      weight[i] = static_cast<int16_t>((k - list.k[i]) * (k - list.k[i]) - smallest + list.c[i] +
                                       list.m[i] + list.y[i]);
      cyan[i] = static_cast<int16_t>(list.c[i] == 1.0 ? -1 : 0);
      magenta[i] = static_cast<int16_t>(list.m[i] == 1.0 ? -1 : 0);
      yellow[i] = static_cast<int16_t>(list.y[i] == 1.0 ? -1 : 0);
    }
    for (int half = 0; half < 2; ++half) {
      lanes.weight[half] = simd::load8(weight + 8 * half);
      lanes.cyan[half] = simd::load8(cyan + 8 * half);
      lanes.magenta[half] = simd::load8(magenta + 8 * half);
      lanes.yellow[half] = simd::load8(yellow + 8 * half);
    }
  }
}

void runOnThreads(int count, const std::function<void(int)>& work) {
  std::vector<std::thread> started;
  std::vector<int> left;
  for (int i = 1; i < count; ++i) {
    try {
      started.emplace_back(work, i);
    } catch (const std::system_error&) {
      left.push_back(i);
    }
  }
  work(0);
  for (std::thread& thread : started) thread.join();
  for (int i : left) work(i);
}

void forEachRowBand(int32_t rows, int threads,
                    const std::function<void(int32_t begin, int32_t end)>& work) {
  const int bands = static_cast<int>(std::max<int32_t>(1, std::min<int32_t>(threads, rows)));
  const auto bandStart = [&](int band) {
    return static_cast<int32_t>(static_cast<int64_t>(rows) * band / bands);
  };
  runOnThreads(bands, [&](int band) { work(bandStart(band), bandStart(band + 1)); });
}

}  // namespace vz
