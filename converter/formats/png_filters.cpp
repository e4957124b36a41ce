#include "converter/formats/png_filters.h"

#include <cstdlib>
#include <cstring>

// The SSE2 forms where the build has them (VIZORKA_SSE2), the plain ones elsewhere.
#include "base/vector_lanes.h"

namespace vz {

namespace {

enum FilterType : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

uint8_t paethPredictor(int left, int above, int aboveLeft) {
  const int towardLeft = std::abs(above - aboveLeft);
  const int towardAbove = std::abs(left - aboveLeft);
  const int towardAboveLeft = std::abs(left + above - 2 * aboveLeft);
  if (towardLeft <= towardAbove && towardLeft <= towardAboveLeft) return static_cast<uint8_t>(left);
  return static_cast<uint8_t>(towardAbove <= towardAboveLeft ? above : aboveLeft);
}

void addAbove(uint8_t* row, const uint8_t* prior, size_t length) {
  size_t i = 0;
#if VIZORKA_SSE2
  for (; i + 16 <= length; i += 16) {
    const __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), sum);
  }
#endif
  for (; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

#if VIZORKA_SSE2

// Sub, Average and Paeth chain each pixel to the one on its left, so their bytes cannot
// be done sixteen at a time; what can be done is one whole pixel (3 or 4 bytes) per step,
// its left neighbour kept in a register. Loads and stores take exactly the pixel's bytes,
// so neither row needs room past its end. Three bytes go through a general register in
// two pieces: assembled in memory, they would stall every load on the stores before it.
template <size_t kBytes>
__m128i loadPixel(const uint8_t* at) {
  uint32_t bits = 0;
  if (kBytes == 4) {
    std::memcpy(&bits, at, 4);
  } else {
    uint16_t low = 0;
    std::memcpy(&low, at, 2);
    bits = low | static_cast<uint32_t>(at[2]) << 16;
  }
  return _mm_cvtsi32_si128(static_cast<int>(bits));
}

template <size_t kBytes>
void storePixel(uint8_t* at, __m128i pixel) {
  const uint32_t bits = static_cast<uint32_t>(_mm_cvtsi128_si32(pixel));
  if (kBytes == 4) {
    std::memcpy(at, &bits, 4);
  } else {
    const uint16_t low = static_cast<uint16_t>(bits);
    std::memcpy(at, &low, 2);
    at[2] = static_cast<uint8_t>(bits >> 16);
  }
}

template <size_t kBytes>
void undoSub(uint8_t* row, size_t length) {
  __m128i left = _mm_setzero_si128();
  for (size_t i = 0; i < length; i += kBytes) {
    left = _mm_add_epi8(loadPixel<kBytes>(row + i), left);
    storePixel<kBytes>(row + i, left);
  }
}

template <size_t kBytes>
void undoAverage(uint8_t* row, const uint8_t* prior, size_t length) {
  const __m128i lowBits = _mm_set1_epi8(1);
  __m128i left = _mm_setzero_si128();
  for (size_t i = 0; i < length; i += kBytes) {
    const __m128i above = loadPixel<kBytes>(prior + i);
    // _mm_avg_epu8 rounds up; the filter's mean rounds down.
    const __m128i mean =
        _mm_sub_epi8(_mm_avg_epu8(left, above), _mm_and_si128(_mm_xor_si128(left, above), lowBits));
    left = _mm_add_epi8(loadPixel<kBytes>(row + i), mean);
    storePixel<kBytes>(row + i, left);
  }
}

__m128i absolute16(__m128i value) {
  return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

__m128i select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// The predictor on 16-bit lanes: the distances are |above - aboveLeft|,
// |left - aboveLeft| and the absolute value of their sum, and the nearest wins with
// left before above before above-left on ties.
template <size_t kBytes>
void undoPaeth(uint8_t* row, const uint8_t* prior, size_t length) {
  const __m128i zero = _mm_setzero_si128();
  __m128i left = zero;
  __m128i aboveLeft = zero;
  for (size_t i = 0; i < length; i += kBytes) {
    const __m128i above = _mm_unpacklo_epi8(loadPixel<kBytes>(prior + i), zero);
    const __m128i fromAbove = _mm_sub_epi16(above, aboveLeft);
    const __m128i fromLeft = _mm_sub_epi16(left, aboveLeft);
    const __m128i towardLeft = absolute16(fromAbove);
    const __m128i towardAbove = absolute16(fromLeft);
    const __m128i towardAboveLeft = absolute16(_mm_add_epi16(fromAbove, fromLeft));
    const __m128i nearest = _mm_min_epi16(_mm_min_epi16(towardLeft, towardAbove), towardAboveLeft);
    __m128i prediction = select(_mm_cmpeq_epi16(nearest, towardAbove), above, aboveLeft);
    prediction = select(_mm_cmpeq_epi16(nearest, towardLeft), left, prediction);
    const __m128i pixel =
        _mm_add_epi8(loadPixel<kBytes>(row + i), _mm_packus_epi16(prediction, prediction));
    storePixel<kBytes>(row + i, pixel);
    left = _mm_unpacklo_epi8(pixel, zero);
    aboveLeft = above;
  }
}

template <size_t kBytes>
bool unfilterPixels(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t length) {
  switch (filter) {
    case kNone:
      return true;
    case kSub:
      undoSub<kBytes>(row, length);
      return true;
    case kUp:
      addAbove(row, prior, length);
      return true;
    case kAverage:
      undoAverage<kBytes>(row, prior, length);
      return true;
    case kPaeth:
      undoPaeth<kBytes>(row, prior, length);
      return true;
    default:
      return false;
  }
}

#endif

}  // namespace

bool unfilterRowPlain(uint8_t filter, size_t bytesPerPixel, uint8_t* row, const uint8_t* prior,
                      size_t length) {
  const size_t first = bytesPerPixel < length ? bytesPerPixel : length;
  switch (filter) {
    case kNone:
      return true;
    case kSub:
      for (size_t i = first; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + row[i - bytesPerPixel]);
      return true;
    case kUp:
      addAbove(row, prior, length);
      return true;
    case kAverage:
      for (size_t i = 0; i < first; ++i) row[i] = static_cast<uint8_t>(row[i] + (prior[i] >> 1));
      for (size_t i = first; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - bytesPerPixel] + prior[i]) >> 1));
      return true;
    case kPaeth:
      for (size_t i = 0; i < first; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
      for (size_t i = first; i < length; ++i)
        row[i] = static_cast<uint8_t>(
            row[i] + paethPredictor(row[i - bytesPerPixel], prior[i], prior[i - bytesPerPixel]));
      return true;
    default:
      return false;
  }
}

bool unfilterRow(uint8_t filter, size_t bytesPerPixel, uint8_t* row, const uint8_t* prior,
                 size_t length) {
#if VIZORKA_SSE2
  if (length % bytesPerPixel == 0) {
    if (bytesPerPixel == 3) return unfilterPixels<3>(filter, row, prior, length);
    if (bytesPerPixel == 4) return unfilterPixels<4>(filter, row, prior, length);
  }
#endif
  return unfilterRowPlain(filter, bytesPerPixel, row, prior, length);
}

}  // namespace vz
