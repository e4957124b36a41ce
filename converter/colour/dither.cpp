// Ordered (8x8 Bayer) and Floyd-Steinberg dithering to 2, 4 and 16 TVC colours.
#include <algorithm>
#include <memory>

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
  return static_cast<int32_t>(rowStrideFor(kind == kDitherTwoColours ? 2 : 16, width));
}

bool canDither(const ImageDocument& doc, int kind) {
  return kind >= kDitherTwoColours && kind <= kDitherSixteenColours && hasConvertiblePicture(doc) &&
         readsAsColours(doc.colourMode);
}

// The TVC index an ordered-dither pixel gets at matrix value m: intensity from the
// grey level of the 6-bit channels, then green, red and blue each against m.
uint8_t orderedSixteenColourPixel(int red, int green, int blue, int m) {
  const int red6 = red / 4, green6 = green / 4, blue6 = blue / 4;
  const int grey6 = greyLevelOf(red6, green6, blue6);
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

// Current and next row as red, green, blue triples, each with a spare triple after
// the last pixel that swallows the errors pushed past the right edge.
class LineBuffers {
 public:
  bool allocate(int32_t width) {
    const size_t size = 3 * static_cast<size_t>(width) + 3;
    return allocateZeroed(first_, size) && allocateZeroed(second_, size);
  }
  void swap() { first_.swap(second_); }
  uint8_t* current() { return first_.data(); }
  uint8_t* next() { return second_.data(); }

 private:
  std::vector<uint8_t> first_, second_;
};

void fillLineBuffer(const ImageDocument& doc, int32_t y, const GreyingFlags& greying,
                    uint8_t* line) {
  forEachPixelColour(doc, doc.row(y), [&](int32_t x, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* triple = line + 3 * x;
    if ((greying.noRed && r > g && r > b) || (greying.noGreen && g > r && g > b) ||
        (greying.noBlue && b > r && b > g)) {
      const uint8_t grey = static_cast<uint8_t>(greyLevelOf(r, g, b));
      triple[0] = triple[1] = triple[2] = grey;
    } else {
      triple[0] = r;
      triple[1] = g;
      triple[2] = b;
    }
  });
}

// clamp(byte + error * weight / 16), the division truncating toward zero.
inline void addError(uint8_t& channel, int weightedError) {
  const int value = channel + weightedError / 16;
  channel = static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

inline void spreadChannelError(uint8_t* current, uint8_t* next, int32_t x, int channel, int e) {
  addError(current[3 * (x + 1) + channel], e * 7);
  if (x > 0) addError(next[3 * (x - 1) + channel], e * 3);
  addError(next[3 * x + channel], e * 5);
  addError(next[3 * (x + 1) + channel], e);
}

}  // namespace

void orderedDither(ImageDocument& doc, const EffectSettings& settings, int kind) {
  if (!canDither(doc, kind)) return;
  const int32_t stride = outputStride(kind, doc.width);
  std::vector<uint8_t> out;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(doc.height))) return;

  for (int32_t y = 0; y < doc.height; ++y) {
    PackedRowWriter writer(out.data() + static_cast<size_t>(y) * stride, bitsPerOutputPixel(kind));
    const int column = y % 8;
    forEachPixelColour(doc, doc.row(y), [&](int32_t x, uint8_t r, uint8_t g, uint8_t b) {
      const int m = kBayerMatrix[x % 8][column];
      if (kind == kDitherSixteenColours) {
        writer.append(orderedSixteenColourPixel(r, g, b, m));
        return;
      }
      const int grey = greyLevelOf(r, g, b);
      if (kind == kDitherTwoColours) {
        writer.append(grey / 4 > m);
      } else {
        const int v = grey + m;
        writer.append(v > 255 ? 3u : static_cast<unsigned>(v / 64));
      }
    });
    writer.finish();
  }

  const int32_t mode = kind == kDitherTwoColours ? 2 : (kind == kDitherFourColours ? 4 : 16);
  installPixels(doc, std::move(out), stride, mode);
  if (kind == kDitherTwoColours)
    setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kTwoColourSet], 2);
  else if (kind == kDitherFourColours)
    setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kFourColourSet], 4);
  else
    setTvcPalette(doc);
  doc.interlaced = false;
}

void floydSteinbergDither(ImageDocument& doc, const EffectSettings& settings, int kind) {
  if (!canDither(doc, kind)) return;
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
  std::vector<uint8_t> out;
  LineBuffers lines;
  if (!allocateZeroed(out, static_cast<size_t>(stride) * static_cast<size_t>(height)) ||
      !lines.allocate(width))
    return;

  const int setSize = kind == kDitherFourColours ? 4 : candidateCount;
  NearestColourCache evenRows(candidates, setSize);
  std::unique_ptr<NearestColourCache> oddRows;
  if (interlaced) oddRows = std::make_unique<NearestColourCache>(candidates + 4, 4);

  fillLineBuffer(doc, 0, greying, lines.next());
  for (int32_t k = 0; k < height; ++k) {
    lines.swap();
    if (k + 1 < height) fillLineBuffer(doc, k + 1, greying, lines.next());
    uint8_t* current = lines.current();
    uint8_t* next = lines.next();
    const bool oddSet = interlaced && (k & 1);
    NearestColourCache& cache = oddSet ? *oddRows : evenRows;
    const ColourValue* set = oddSet ? candidates + 4 : candidates;
    PackedRowWriter writer(out.data() + static_cast<size_t>(k) * stride, bitsPerOutputPixel(kind));
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* triple = current + 3 * x;
      const ColourValue colour = makeColour(triple[0], triple[1], triple[2]);
      const int chosen = cache.nearest(colour);
      const ColourValue target = set[chosen];
      const int errorRed = triple[0] - redOf(target);
      const int errorGreen = triple[1] - greenOf(target);
      const int errorBlue = triple[2] - blueOf(target);
      spreadChannelError(current, next, x, 0, errorRed);
      spreadChannelError(current, next, x, 1, errorGreen);
      spreadChannelError(current, next, x, 2, errorBlue);
      writer.append(static_cast<unsigned>(oddSet ? chosen + 4 : chosen));
    }
    writer.finish();
  }

  const int32_t mode =
      kind == kDitherTwoColours ? 2 : (kind == kDitherFourColours && !interlaced ? 4 : 16);
  installPixels(doc, std::move(out), stride, mode);
  std::fill(doc.palette.begin(), doc.palette.begin() + 16, 0);
  if (kind == kDitherTwoColours)
    setPaletteFromTvcIndices(doc, 0, &settings.colourChoices[kTwoColourSet], 2);
  else if (kind == kDitherFourColours)
    setPaletteFromTvcIndices(doc, 0, candidateIndices, candidateCount);
  else
    setTvcPalette(doc);
  doc.interlaced = interlaced;
}

}  // namespace vz
