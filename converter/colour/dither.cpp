// Ordered (8x8 Bayer) and Floyd-Steinberg dithering to 2, 4 and 16 TVC colours.
#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <new>

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

// Rows dithered together (see floydSteinbergDither).
constexpr int kRowsTogether = 4;

// Rows of red, green, blue values, one 16-bit lane each plus an unused fourth lane
// per pixel, so that one pixel's error is spread with a few vector operations. The
// values are clamped to 0..255 after every addition, exactly as bytes would be. A
// spare pixel after the last one swallows the errors pushed past the right edge,
// and one before the first takes the below-left share of pixel 0, which is never read.
class LineBuffers {
 public:
  bool allocate(int32_t width) {
    for (std::vector<int16_t>& line : lines_) {
      try {
        line.assign(4 * (static_cast<size_t>(width) + 2), 0);
      } catch (const std::bad_alloc&) {
        return false;
      }
    }
    return true;
  }
  int16_t* line(int i) { return lines_[static_cast<size_t>(i)].data() + 4; }

 private:
  std::array<std::vector<int16_t>, kRowsTogether + 1> lines_;
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
inline __m128i weightedShare(__m128i error, __m128i weights) {
  const __m128i product = _mm_mullo_epi16(error, weights);
  const __m128i towardZero = _mm_and_si128(_mm_srai_epi16(product, 15), _mm_set1_epi16(15));
  return _mm_srai_epi16(_mm_add_epi16(product, towardZero), 4);
}

inline __m128i clampToByte(__m128i value) {
  return _mm_min_epi16(_mm_max_epi16(value, _mm_setzero_si128()), _mm_set1_epi16(255));
}

// One output row of Floyd-Steinberg: matches each pixel and spreads its error, a
// share of 7/16 to the right, 3/16 below-left, 5/16 below and 1/16 below-right.
struct RowDitherer {
  const NearestColourSearch* search = nullptr;
  const __m128i* candidateLanes = nullptr;  // each candidate's red, green, blue lanes
  int valueOffset = 0;
  PackedRowWriter writer{nullptr, 1};

  void pixel(int16_t* current, int16_t* next, int32_t x) {
    int16_t* here = current + 4 * x;
    const int chosen =
        search->nearest(makeColour(static_cast<uint8_t>(here[0]), static_cast<uint8_t>(here[1]),
                                   static_cast<uint8_t>(here[2])));
    const __m128i pixel = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(here));
    const __m128i error = _mm_sub_epi16(pixel, candidateLanes[chosen]);
    const __m128i errorTwice = _mm_unpacklo_epi64(error, error);

    __m128i* right = reinterpret_cast<__m128i*>(here + 4);
    _mm_storel_epi64(right, clampToByte(_mm_add_epi16(_mm_loadl_epi64(right),
                                                      weightedShare(error, _mm_set1_epi16(7)))));
    __m128i* belowPair = reinterpret_cast<__m128i*>(next + 4 * (x - 1));
    _mm_storeu_si128(belowPair,
                     clampToByte(_mm_add_epi16(
                         _mm_loadu_si128(belowPair),
                         weightedShare(errorTwice, _mm_set_epi16(5, 5, 5, 5, 3, 3, 3, 3)))));
    __m128i* belowRight = reinterpret_cast<__m128i*>(next + 4 * (x + 1));
    _mm_storel_epi64(belowRight,
                     clampToByte(_mm_add_epi16(_mm_loadl_epi64(belowRight),
                                               weightedShare(error, _mm_set1_epi16(1)))));
    writer.append(static_cast<unsigned>(chosen + valueOffset));
  }
};

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

  // Interlaced pictures match odd rows against the even-line set.
  const int setSize = kind == kDitherFourColours ? 4 : candidateCount;
  const NearestColourSearch firstSet(candidates, setSize);
  const NearestColourSearch evenLineSet(candidates + (interlaced ? 4 : 0), setSize);

  __m128i candidateLanes[16];
  for (int i = 0; i < candidateCount; ++i)
    candidateLanes[i] = _mm_set_epi16(0, 0, 0, 0, 0, static_cast<int16_t>(blueOf(candidates[i])),
                                      static_cast<int16_t>(greenOf(candidates[i])),
                                      static_cast<int16_t>(redOf(candidates[i])));
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
  // idle most of the time with one row. A few rows are dithered together, each two
  // pixels behind the one above: by then every error it is owed from that row has
  // arrived, in the same order as when the rows are done one after the other.
  int lineOfRow[kRowsTogether + 1];
  for (int j = 0; j <= kRowsTogether; ++j) lineOfRow[j] = j;
  fillLineBuffer(doc, 0, greying, lines.line(lineOfRow[0]));
  for (int32_t k = 0; k < height; k += kRowsTogether) {
    const int rows = std::min<int32_t>(kRowsTogether, height - k);
    RowDitherer ditherers[kRowsTogether];
    int16_t* line[kRowsTogether + 1];
    for (int j = 0; j <= kRowsTogether; ++j) line[j] = lines.line(lineOfRow[j]);
    for (int j = 0; j < rows; ++j) {
      ditherers[j] = ditherRow(k + j);
      if (k + j + 1 < height) fillLineBuffer(doc, k + j + 1, greying, line[j + 1]);
    }
    for (int32_t x = 0; x < width + 2 * (rows - 1); ++x)
      for (int j = 0; j < rows; ++j) {
        const int32_t column = x - 2 * j;
        if (column >= 0 && column < width) ditherers[j].pixel(line[j], line[j + 1], column);
      }
    for (int j = 0; j < rows; ++j) ditherers[j].writer.finish();
    std::swap(lineOfRow[0], lineOfRow[kRowsTogether]);
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
