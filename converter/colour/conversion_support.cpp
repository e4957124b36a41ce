#include "converter/colour/conversion_support.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace vz {

bool hasConvertiblePicture(const ImageDocument& doc) {
  if (!doc.holdsPicture() || doc.width <= 0 || doc.height <= 0) return false;
  const int64_t stride = rowStrideFor(doc.colourMode, doc.width);
  if (stride <= 0 || doc.rowStride < stride) return false;
  return doc.pixels.size() / static_cast<size_t>(doc.rowStride) >= static_cast<size_t>(doc.height);
}

bool readsAsColours(int32_t colourMode) {
  return colourMode == kTrueColour || bitsPerPixel(colourMode) == 4 ||
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
                   int32_t colourMode) {
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
