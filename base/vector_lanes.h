// Small fixed-width vectors for the conversions' inner loops, in two forms with the same
// results to the bit: SSE2 registers on x86, and plain arrays everywhere else (aarch64,
// Windows on ARM...) or when the build defines VIZORKA_NO_SIMD to check the two agree.
// Integer lanes wrap as 16-bit values; float and double lanes round each operation as
// the scalar operation does (no fused multiply-add: the build says -ffp-contract=off).
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(VIZORKA_NO_SIMD)
#define VIZORKA_SSE2 1
#include <emmintrin.h>
#else
#define VIZORKA_SSE2 0
#endif

namespace vz::simd {

#if VIZORKA_SSE2

// Eight 16-bit integers.
struct Int16x8 {
  __m128i v;
};

inline Int16x8 broadcastInt16(int16_t value) {
  return {_mm_set1_epi16(value)};
}
inline Int16x8 int16Lanes(int16_t l0, int16_t l1, int16_t l2, int16_t l3, int16_t l4, int16_t l5,
                          int16_t l6, int16_t l7) {
  return {_mm_setr_epi16(l0, l1, l2, l3, l4, l5, l6, l7)};
}
inline Int16x8 load8(const int16_t* at) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))};
}
inline void store8(int16_t* at, Int16x8 a) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at), a.v);
}
// Lanes 0..3 from memory, 4..7 zero.
inline Int16x8 loadLow4(const int16_t* at) {
  return {_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at))};
}
inline void storeLow4(int16_t* at, Int16x8 a) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(at), a.v);
}
inline Int16x8 add(Int16x8 a, Int16x8 b) {
  return {_mm_add_epi16(a.v, b.v)};
}
inline Int16x8 subtract(Int16x8 a, Int16x8 b) {
  return {_mm_sub_epi16(a.v, b.v)};
}
// The low 16 bits of each product.
inline Int16x8 multiplyLow(Int16x8 a, Int16x8 b) {
  return {_mm_mullo_epi16(a.v, b.v)};
}
inline Int16x8 bitAnd(Int16x8 a, Int16x8 b) {
  return {_mm_and_si128(a.v, b.v)};
}
inline Int16x8 minimum(Int16x8 a, Int16x8 b) {
  return {_mm_min_epi16(a.v, b.v)};
}
inline Int16x8 maximum(Int16x8 a, Int16x8 b) {
  return {_mm_max_epi16(a.v, b.v)};
}
template <int kBits>
Int16x8 shiftRightArithmetic(Int16x8 a) {
  return {_mm_srai_epi16(a.v, kBits)};
}
// Lanes 0..3 in lanes 0..3 and again in 4..7.
inline Int16x8 lowHalfTwice(Int16x8 a) {
  return {_mm_unpacklo_epi64(a.v, a.v)};
}
// The smallest lane of a, in every lane.
inline Int16x8 smallestInEveryLane(Int16x8 a) {
  a.v = _mm_min_epi16(a.v, _mm_shuffle_epi32(a.v, _MM_SHUFFLE(1, 0, 3, 2)));
  a.v = _mm_min_epi16(a.v, _mm_shuffle_epi32(a.v, _MM_SHUFFLE(2, 3, 0, 1)));
  return {_mm_min_epi16(a.v, _mm_or_si128(_mm_srli_epi32(a.v, 16), _mm_slli_epi32(a.v, 16)))};
}
// Bit i set where lane i of low equals lane i of value, bit 8 + i where lane i of high does.
inline unsigned equalLanes(Int16x8 low, Int16x8 high, Int16x8 value) {
  return static_cast<unsigned>(_mm_movemask_epi8(
      _mm_packs_epi16(_mm_cmpeq_epi16(low.v, value.v), _mm_cmpeq_epi16(high.v, value.v))));
}

// Four floats.
struct Float4 {
  __m128 v;
};

inline Float4 broadcastFloat(float value) {
  return {_mm_set1_ps(value)};
}
inline Float4 zeroFloat4() {
  return {_mm_setzero_ps()};
}
inline Float4 load4(const float* at) {
  return {_mm_loadu_ps(at)};
}
inline void store4(float* at, Float4 a) {
  _mm_storeu_ps(at, a.v);
}
inline Float4 add(Float4 a, Float4 b) {
  return {_mm_add_ps(a.v, b.v)};
}
inline Float4 subtract(Float4 a, Float4 b) {
  return {_mm_sub_ps(a.v, b.v)};
}
inline Float4 multiply(Float4 a, Float4 b) {
  return {_mm_mul_ps(a.v, b.v)};
}
// a < b ? a : b and a > b ? a : b, lane by lane: b when either is not a number.
inline Float4 minimum(Float4 a, Float4 b) {
  return {_mm_min_ps(a.v, b.v)};
}
inline Float4 maximum(Float4 a, Float4 b) {
  return {_mm_max_ps(a.v, b.v)};
}
// Each lane truncated toward zero; every lane must fit an int32_t.
inline void storeTruncated(int32_t* at, Float4 a) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_cvttps_epi32(a.v));
}

// Two doubles; loads and stores need 16-byte alignment.
struct Double2 {
  __m128d v;
};

inline Double2 broadcastDouble(double value) {
  return {_mm_set1_pd(value)};
}
inline Double2 loadAligned2(const double* at) {
  return {_mm_load_pd(at)};
}
inline void storeAligned2(double* at, Double2 a) {
  _mm_store_pd(at, a.v);
}
inline Double2 add(Double2 a, Double2 b) {
  return {_mm_add_pd(a.v, b.v)};
}
inline Double2 subtract(Double2 a, Double2 b) {
  return {_mm_sub_pd(a.v, b.v)};
}
inline Double2 multiply(Double2 a, Double2 b) {
  return {_mm_mul_pd(a.v, b.v)};
}

#else

// The plain forms are forced inline: left as calls, each vector would travel through
// memory or general registers, which made Floyd-Steinberg six times slower.
struct Int16x8 {
  int16_t lane[8];
};

// The arithmetic is done in int and cut back to 16 bits, which wraps as the SSE2 lanes do.
template <typename Operation>
[[gnu::always_inline]] inline Int16x8 eachLane(Int16x8 a, Int16x8 b, Operation operation) {
  Int16x8 result;
  for (int i = 0; i < 8; ++i)
    result.lane[i] = static_cast<int16_t>(operation(a.lane[i], b.lane[i]));
  return result;
}

[[gnu::always_inline]] inline Int16x8 broadcastInt16(int16_t value) {
  return {{value, value, value, value, value, value, value, value}};
}
[[gnu::always_inline]] inline Int16x8 int16Lanes(int16_t l0, int16_t l1, int16_t l2, int16_t l3,
                                                 int16_t l4, int16_t l5, int16_t l6, int16_t l7) {
  return {{l0, l1, l2, l3, l4, l5, l6, l7}};
}
[[gnu::always_inline]] inline Int16x8 load8(const int16_t* at) {
  Int16x8 result;
  std::memcpy(result.lane, at, sizeof result.lane);
  return result;
}
[[gnu::always_inline]] inline void store8(int16_t* at, Int16x8 a) {
  std::memcpy(at, a.lane, sizeof a.lane);
}
[[gnu::always_inline]] inline Int16x8 loadLow4(const int16_t* at) {
  Int16x8 result{};
  std::memcpy(result.lane, at, 4 * sizeof(int16_t));
  return result;
}
[[gnu::always_inline]] inline void storeLow4(int16_t* at, Int16x8 a) {
  std::memcpy(at, a.lane, 4 * sizeof(int16_t));
}
[[gnu::always_inline]] inline Int16x8 add(Int16x8 a, Int16x8 b) {
  return eachLane(a, b, [](int x, int y) { return x + y; });
}
[[gnu::always_inline]] inline Int16x8 subtract(Int16x8 a, Int16x8 b) {
  return eachLane(a, b, [](int x, int y) { return x - y; });
}
[[gnu::always_inline]] inline Int16x8 multiplyLow(Int16x8 a, Int16x8 b) {
  return eachLane(a, b, [](int x, int y) { return x * y; });
}
[[gnu::always_inline]] inline Int16x8 bitAnd(Int16x8 a, Int16x8 b) {
  return eachLane(a, b, [](int x, int y) { return x & y; });
}
[[gnu::always_inline]] inline Int16x8 minimum(Int16x8 a, Int16x8 b) {
  return eachLane(a, b, [](int x, int y) { return x < y ? x : y; });
}
[[gnu::always_inline]] inline Int16x8 maximum(Int16x8 a, Int16x8 b) {
  return eachLane(a, b, [](int x, int y) { return x > y ? x : y; });
}
template <int kBits>
[[gnu::always_inline]] inline Int16x8 shiftRightArithmetic(Int16x8 a) {
  for (int16_t& value : a.lane) value = static_cast<int16_t>(value >> kBits);
  return a;
}
[[gnu::always_inline]] inline Int16x8 lowHalfTwice(Int16x8 a) {
  return {{a.lane[0], a.lane[1], a.lane[2], a.lane[3], a.lane[0], a.lane[1], a.lane[2], a.lane[3]}};
}
[[gnu::always_inline]] inline Int16x8 smallestInEveryLane(Int16x8 a) {
  int16_t smallest = a.lane[0];
  for (int16_t value : a.lane) smallest = value < smallest ? value : smallest;
  return broadcastInt16(smallest);
}
[[gnu::always_inline]] inline unsigned equalLanes(Int16x8 low, Int16x8 high, Int16x8 value) {
  // Bits from tables rather than shifts, so that compilers can do all lanes at once.
  static constexpr uint16_t kLowBits[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  static constexpr uint16_t kHighBits[8] = {0x100,  0x200,  0x400,  0x800,
                                            0x1000, 0x2000, 0x4000, 0x8000};
  unsigned mask = 0;
  for (int i = 0; i < 8; ++i)
    mask |= (low.lane[i] == value.lane[i] ? kLowBits[i] : 0u) |
            (high.lane[i] == value.lane[i] ? kHighBits[i] : 0u);
  return mask;
}

struct Float4 {
  float lane[4];
};

template <typename Operation>
[[gnu::always_inline]] inline Float4 eachLane(Float4 a, Float4 b, Operation operation) {
  return {{operation(a.lane[0], b.lane[0]), operation(a.lane[1], b.lane[1]),
           operation(a.lane[2], b.lane[2]), operation(a.lane[3], b.lane[3])}};
}

[[gnu::always_inline]] inline Float4 broadcastFloat(float value) {
  return {{value, value, value, value}};
}
[[gnu::always_inline]] inline Float4 zeroFloat4() {
  return {{0.0f, 0.0f, 0.0f, 0.0f}};
}
[[gnu::always_inline]] inline Float4 load4(const float* at) {
  Float4 result;
  std::memcpy(result.lane, at, sizeof result.lane);
  return result;
}
[[gnu::always_inline]] inline void store4(float* at, Float4 a) {
  std::memcpy(at, a.lane, sizeof a.lane);
}
[[gnu::always_inline]] inline Float4 add(Float4 a, Float4 b) {
  return eachLane(a, b, [](float x, float y) { return x + y; });
}
[[gnu::always_inline]] inline Float4 subtract(Float4 a, Float4 b) {
  return eachLane(a, b, [](float x, float y) { return x - y; });
}
[[gnu::always_inline]] inline Float4 multiply(Float4 a, Float4 b) {
  return eachLane(a, b, [](float x, float y) { return x * y; });
}
[[gnu::always_inline]] inline Float4 minimum(Float4 a, Float4 b) {
  return eachLane(a, b, [](float x, float y) { return x < y ? x : y; });
}
[[gnu::always_inline]] inline Float4 maximum(Float4 a, Float4 b) {
  return eachLane(a, b, [](float x, float y) { return x > y ? x : y; });
}
[[gnu::always_inline]] inline void storeTruncated(int32_t* at, Float4 a) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<int32_t>(a.lane[i]);
}

struct Double2 {
  double lane[2];
};

[[gnu::always_inline]] inline Double2 broadcastDouble(double value) {
  return {{value, value}};
}
[[gnu::always_inline]] inline Double2 loadAligned2(const double* at) {
  return {{at[0], at[1]}};
}
[[gnu::always_inline]] inline void storeAligned2(double* at, Double2 a) {
  at[0] = a.lane[0];
  at[1] = a.lane[1];
}
[[gnu::always_inline]] inline Double2 add(Double2 a, Double2 b) {
  return {{a.lane[0] + b.lane[0], a.lane[1] + b.lane[1]}};
}
[[gnu::always_inline]] inline Double2 subtract(Double2 a, Double2 b) {
  return {{a.lane[0] - b.lane[0], a.lane[1] - b.lane[1]}};
}
[[gnu::always_inline]] inline Double2 multiply(Double2 a, Double2 b) {
  return {{a.lane[0] * b.lane[0], a.lane[1] * b.lane[1]}};
}

#endif

// Tells the processor that a thread is spinning on a value another thread will change.
[[gnu::always_inline]] inline void spinWaitHint() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
  __asm__ __volatile__("yield");
#endif
}

}  // namespace vz::simd
