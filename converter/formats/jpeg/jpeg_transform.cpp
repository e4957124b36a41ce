#include "converter/formats/jpeg/jpeg_transform.h"

#include <cstring>

// The SSE2 forms where the build has them (VIZORKA_SSE2), the plain ones elsewhere.
#include "base/vector_lanes.h"

namespace vz {

const uint8_t kJpegZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const int16_t kJpegAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

namespace {

// Constants of the fast transform, each a multiplier for M(v, K) below.
constexpr int16_t kSqrt2 = 23170;  // A: sqrt(2)
constexpr int16_t kOddB = -12540;  // B: 1.082392 - 1.847759
constexpr int16_t kOddC = 30273;   // C: 1.847759
constexpr int16_t kOddD = -30353;  // D: -1.852600

int16_t wrap16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// M(v, K): the high half of (4v truncated to 16 bits) x K.
int16_t mulHigh(int16_t value, int16_t constant) {
  const int16_t scaled = wrap16(value * 4);
  return static_cast<int16_t>((static_cast<int32_t>(scaled) * constant) >> 16);
}

// One 8-point pass of the fast transform in 16-bit wrap-around arithmetic.
void fastButterfly(const int16_t* x, int16_t* out) {
  const int16_t t10 = wrap16(x[0] + x[4]);
  const int16_t t11 = wrap16(x[0] - x[4]);
  const int16_t t13 = wrap16(x[2] + x[6]);
  const int16_t t12 = wrap16(mulHigh(wrap16(x[2] - x[6]), kSqrt2) - t13);
  const int16_t e0 = wrap16(t10 + t13);
  const int16_t e3 = wrap16(t10 - t13);
  const int16_t e1 = wrap16(t11 + t12);
  const int16_t e2 = wrap16(t11 - t12);

  const int16_t z13 = wrap16(x[5] + x[3]);
  const int16_t z10 = wrap16(x[5] - x[3]);
  const int16_t z11 = wrap16(x[1] + x[7]);
  const int16_t z12 = wrap16(x[1] - x[7]);
  const int16_t o7 = wrap16(z11 + z13);
  const int16_t w11 = mulHigh(wrap16(z11 - z13), kSqrt2);
  const int16_t w10 = wrap16(mulHigh(z10, kOddD) + mulHigh(z12, kOddB));
  const int16_t w12 = wrap16(mulHigh(z10, kOddB) + mulHigh(z12, kOddC));
  const int16_t o6 = wrap16(w12 - o7);
  const int16_t o5 = wrap16(w11 - o6);
  const int16_t o4 = wrap16(w10 + o5);

  out[0] = wrap16(e0 + o7);
  out[7] = wrap16(e0 - o7);
  out[1] = wrap16(e1 + o6);
  out[6] = wrap16(e1 - o6);
  out[2] = wrap16(e2 + o5);
  out[5] = wrap16(e2 - o5);
  out[4] = wrap16(e3 + o4);
  out[3] = wrap16(e3 - o4);
}

uint8_t saturateByte(int32_t value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

#if VIZORKA_SSE2

struct Lanes {
  __m128i v[8];
};

void transpose(Lanes& m) {
  const __m128i a0 = _mm_unpacklo_epi16(m.v[0], m.v[1]);
  const __m128i a1 = _mm_unpackhi_epi16(m.v[0], m.v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(m.v[2], m.v[3]);
  const __m128i a3 = _mm_unpackhi_epi16(m.v[2], m.v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(m.v[4], m.v[5]);
  const __m128i a5 = _mm_unpackhi_epi16(m.v[4], m.v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(m.v[6], m.v[7]);
  const __m128i a7 = _mm_unpackhi_epi16(m.v[6], m.v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
  m.v[0] = _mm_unpacklo_epi64(b0, b4);
  m.v[1] = _mm_unpackhi_epi64(b0, b4);
  m.v[2] = _mm_unpacklo_epi64(b1, b5);
  m.v[3] = _mm_unpackhi_epi64(b1, b5);
  m.v[4] = _mm_unpacklo_epi64(b2, b6);
  m.v[5] = _mm_unpackhi_epi64(b2, b6);
  m.v[6] = _mm_unpacklo_epi64(b3, b7);
  m.v[7] = _mm_unpackhi_epi64(b3, b7);
}

__m128i mulHigh(__m128i value, __m128i constant) {
  return _mm_mulhi_epi16(_mm_slli_epi16(value, 2), constant);
}

// The same pass as fastButterfly, eight lanes at once; results in natural order.
void fastButterfly(Lanes& m) {
  const __m128i a = _mm_set1_epi16(kSqrt2);
  const __m128i b = _mm_set1_epi16(kOddB);
  const __m128i c = _mm_set1_epi16(kOddC);
  const __m128i d = _mm_set1_epi16(kOddD);
  const __m128i t10 = _mm_add_epi16(m.v[0], m.v[4]);
  const __m128i t11 = _mm_sub_epi16(m.v[0], m.v[4]);
  const __m128i t13 = _mm_add_epi16(m.v[2], m.v[6]);
  const __m128i t12 = _mm_sub_epi16(mulHigh(_mm_sub_epi16(m.v[2], m.v[6]), a), t13);
  const __m128i e0 = _mm_add_epi16(t10, t13);
  const __m128i e3 = _mm_sub_epi16(t10, t13);
  const __m128i e1 = _mm_add_epi16(t11, t12);
  const __m128i e2 = _mm_sub_epi16(t11, t12);

  const __m128i z13 = _mm_add_epi16(m.v[5], m.v[3]);
  const __m128i z10 = _mm_sub_epi16(m.v[5], m.v[3]);
  const __m128i z11 = _mm_add_epi16(m.v[1], m.v[7]);
  const __m128i z12 = _mm_sub_epi16(m.v[1], m.v[7]);
  const __m128i o7 = _mm_add_epi16(z11, z13);
  const __m128i w11 = mulHigh(_mm_sub_epi16(z11, z13), a);
  const __m128i w10 = _mm_add_epi16(mulHigh(z10, d), mulHigh(z12, b));
  const __m128i w12 = _mm_add_epi16(mulHigh(z10, b), mulHigh(z12, c));
  const __m128i o6 = _mm_sub_epi16(w12, o7);
  const __m128i o5 = _mm_sub_epi16(w11, o6);
  const __m128i o4 = _mm_add_epi16(w10, o5);

  m.v[0] = _mm_add_epi16(e0, o7);
  m.v[7] = _mm_sub_epi16(e0, o7);
  m.v[1] = _mm_add_epi16(e1, o6);
  m.v[6] = _mm_sub_epi16(e1, o6);
  m.v[2] = _mm_add_epi16(e2, o5);
  m.v[5] = _mm_sub_epi16(e2, o5);
  m.v[4] = _mm_add_epi16(e3, o4);
  m.v[3] = _mm_sub_epi16(e3, o4);
}

#endif

}  // namespace

void fastInverseDctScalar(const int16_t* coefficients, const int16_t* scaledTable,
                          uint8_t* samples) {
  int16_t workspace[64];
  for (int column = 0; column < 8; ++column) {
    int16_t x[8];
    int16_t out[8];
    for (int row = 0; row < 8; ++row) {
      const int i = 8 * row + column;
      x[row] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(coefficients[i]) *
                                                          static_cast<uint32_t>(scaledTable[i])));
    }
    fastButterfly(x, out);
    for (int row = 0; row < 8; ++row) workspace[8 * row + column] = out[row];
  }
  for (int row = 0; row < 8; ++row) {
    int16_t out[8];
    fastButterfly(workspace + 8 * row, out);
    for (int column = 0; column < 8; ++column)
      samples[8 * row + column] = saturateByte((out[column] >> 5) + 128);
  }
}

#if VIZORKA_SSE2

void fastInverseDct(const int16_t* coefficients, const int16_t* scaledTable, uint8_t* samples) {
  Lanes m;
  for (int row = 0; row < 8; ++row) {
    const __m128i coefficientRow =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * row));
    const __m128i tableRow =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(scaledTable + 8 * row));
    m.v[row] = _mm_mullo_epi16(coefficientRow, tableRow);
  }
  fastButterfly(m);  // columns: each lane is one column
  transpose(m);
  fastButterfly(m);  // rows: each lane is now one row
  const __m128i bias = _mm_set1_epi16(128);
  for (int i = 0; i < 8; ++i) m.v[i] = _mm_adds_epi16(_mm_srai_epi16(m.v[i], 5), bias);
  transpose(m);
  for (int row = 0; row < 8; row += 2) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * row),
                     _mm_packus_epi16(m.v[row], m.v[row + 1]));
  }
}

#else

void fastInverseDct(const int16_t* coefficients, const int16_t* scaledTable, uint8_t* samples) {
  fastInverseDctScalar(coefficients, scaledTable, samples);
}

#endif

namespace {

int32_t wrap32(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// Even and odd parts of the accurate transform; sums and products wrap at 32 bits, so
// they are formed in 64 bits and wrapped once where a result is taken.
void integerButterfly(const int32_t* c, int64_t* out) {
  const int64_t c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
  const int64_t c4 = c[4], c5 = c[5], c6 = c[6], c7 = c[7];
  int64_t z1 = (c2 + c6) * 4433;
  const int64_t t2 = z1 - c6 * 15137;
  const int64_t t3 = z1 + c2 * 6270;
  const int64_t t0 = (c0 + c4) * 8192;
  const int64_t t1 = (c0 - c4) * 8192;
  const int64_t t10 = t0 + t3;
  const int64_t t13 = t0 - t3;
  const int64_t t11 = t1 + t2;
  const int64_t t12 = t1 - t2;

  z1 = c7 + c1;
  int64_t z2 = c5 + c3;
  int64_t z3 = c7 + c3;
  int64_t z4 = c5 + c1;
  const int64_t z5 = (z3 + z4) * 9633;
  int64_t p0 = c7 * 2446;
  int64_t p1 = c5 * 16819;
  int64_t p2 = c3 * 25172;
  int64_t p3 = c1 * 12299;
  z1 *= -7373;
  z2 *= -20995;
  z3 *= -16069;
  z4 *= -3196;
  z3 += z5;
  z4 += z5;
  p0 += z1 + z3;
  p1 += z2 + z4;
  p2 += z2 + z3;
  p3 += z1 + z4;

  out[0] = t10 + p3;
  out[7] = t10 - p3;
  out[1] = t11 + p2;
  out[6] = t11 - p2;
  out[2] = t12 + p1;
  out[5] = t12 - p1;
  out[3] = t13 + p0;
  out[4] = t13 - p0;
}

}  // namespace

void integerInverseDct(int16_t* block, uint8_t* samples) {
  for (int row = 0; row < 8; ++row) {
    int16_t* r = block + 8 * row;
    if ((r[1] | r[2] | r[3] | r[4] | r[5] | r[6] | r[7]) == 0) {
      const int16_t dc = wrap16(r[0] * 4);
      for (int u = 0; u < 8; ++u) r[u] = dc;
      continue;
    }
    int32_t c[8];
    int64_t out[8];
    for (int u = 0; u < 8; ++u) c[u] = r[u];
    integerButterfly(c, out);
    for (int u = 0; u < 8; ++u) r[u] = static_cast<int16_t>(wrap32(out[u] + 1024) >> 11);
  }
  for (int column = 0; column < 8; ++column) {
    int32_t c[8];
    for (int v = 0; v < 8; ++v) c[v] = block[8 * v + column];
    if ((c[1] | c[2] | c[3] | c[4] | c[5] | c[6] | c[7]) == 0) {
      const uint8_t value = saturateByte(((c[0] + 16) >> 5) + 128);
      for (int v = 0; v < 8; ++v) samples[8 * v + column] = value;
      continue;
    }
    int64_t out[8];
    integerButterfly(c, out);
    for (int v = 0; v < 8; ++v)
      samples[8 * v + column] = saturateByte((wrap32(out[v] + 131072) >> 18) + 128);
  }
}

void buildColourTables(JpegColourTables& tables) {
  for (int i = 0; i < 256; ++i) {
    const int32_t x = i - 128;
    tables.crToRed[i] = (91882 * x + 32768) >> 16;
    tables.cbToBlue[i] = (116130 * x + 32768) >> 16;
    tables.crToGreen[i] = -46802 * x;
    tables.cbToGreen[i] = -22554 * x + 32768;
  }
}

void convertEightPixelsScalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                              bool halfChroma, const JpegColourTables& tables, uint8_t* out) {
  for (int i = 0; i < 8; ++i) {
    const int32_t luma = y[i];
    const int c = halfChroma ? i >> 1 : i;
    const uint8_t blue = cb[c];
    const uint8_t red = cr[c];
    out[4 * i] = saturateByte(luma + tables.crToRed[red]);
    out[4 * i + 1] = saturateByte(luma + ((tables.cbToGreen[blue] + tables.crToGreen[red]) >> 16));
    out[4 * i + 2] = saturateByte(luma + tables.cbToBlue[blue]);
    out[4 * i + 3] = 0;
  }
}

#if VIZORKA_SSE2

namespace {

// (a x pair.first + b x pair.second) >> 16 for the eight 16-bit lanes of a and b.
__m128i productSumHigh(__m128i a, __m128i b, __m128i factors) {
  const __m128i low = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), factors), 16);
  const __m128i high = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), factors), 16);
  return _mm_packs_epi32(low, high);
}

__m128i loadChroma(const uint8_t* samples, bool halfChroma) {
  __m128i bytes;
  if (halfChroma) {
    int32_t four;
    std::memcpy(&four, samples, sizeof four);
    bytes = _mm_cvtsi32_si128(four);
    bytes = _mm_unpacklo_epi8(bytes, bytes);
  } else {
    bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples));
  }
  return _mm_sub_epi16(_mm_unpacklo_epi8(bytes, _mm_setzero_si128()), _mm_set1_epi16(128));
}

}  // namespace

// The table products split so that every factor fits 16 bits:
//   91882 x = 65536 x + 26346 x;  116130 x = 131072 x - 14942 x;
//   -46802 x = -65536 x + 18734 x; the rounding 32768 is 2 x 16384.
void convertEightPixels(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma,
                        const JpegColourTables&, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i two = _mm_set1_epi16(2);
  const __m128i luma =
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero);
  const __m128i blue = loadChroma(cb, halfChroma);
  const __m128i red = loadChroma(cr, halfChroma);

  const __m128i redTerm = productSumHigh(
      red, two, _mm_setr_epi16(26346, 16384, 26346, 16384, 26346, 16384, 26346, 16384));
  const __m128i blueTerm = productSumHigh(
      blue, two, _mm_setr_epi16(-14942, 16384, -14942, 16384, -14942, 16384, -14942, 16384));
  const __m128i greenFactors =
      _mm_setr_epi16(-22554, 18734, -22554, 18734, -22554, 18734, -22554, 18734);
  const __m128i rounding = _mm_set1_epi32(32768);
  const __m128i greenLow = _mm_srai_epi32(
      _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(blue, red), greenFactors), rounding), 16);
  const __m128i greenHigh = _mm_srai_epi32(
      _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(blue, red), greenFactors), rounding), 16);
  const __m128i greenTerm = _mm_packs_epi32(greenLow, greenHigh);

  const __m128i r = _mm_add_epi16(luma, _mm_add_epi16(red, redTerm));
  const __m128i g = _mm_add_epi16(luma, _mm_sub_epi16(greenTerm, red));
  const __m128i b = _mm_add_epi16(luma, _mm_add_epi16(_mm_add_epi16(blue, blue), blueTerm));
  const __m128i rBytes = _mm_packus_epi16(r, r);
  const __m128i gBytes = _mm_packus_epi16(g, g);
  const __m128i bBytes = _mm_packus_epi16(b, b);
  const __m128i redGreen = _mm_unpacklo_epi8(rBytes, gBytes);
  const __m128i blueZero = _mm_unpacklo_epi8(bBytes, zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(redGreen, blueZero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(redGreen, blueZero));
}

#else

void convertEightPixels(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma,
                        const JpegColourTables& tables, uint8_t* out) {
  convertEightPixelsScalar(y, cb, cr, halfChroma, tables, out);
}

#endif

}  // namespace vz
