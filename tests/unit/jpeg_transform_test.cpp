#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "converter/formats/jpeg/jpeg_transform.h"

namespace vz {
namespace {

TEST(JpegScaleTable, MatchesTheAanFactors) {
  const double pi = std::acos(-1.0);
  for (int u = 0; u < 8; ++u) {
    for (int v = 0; v < 8; ++v) {
      const double au = u == 0 ? 1.0 : std::sqrt(2.0) * std::cos(u * pi / 16);
      const double av = v == 0 ? 1.0 : std::sqrt(2.0) * std::cos(v * pi / 16);
      EXPECT_EQ(kJpegAanScale[8 * u + v], std::lround(16384 * au * av)) << u << "," << v;
    }
  }
}

// The vector transform must give the scalar transform's bytes on any input, including
// products that wrap at 16 bits and sums that overflow.
TEST(JpegFastTransform, VectorAndScalarGiveIdenticalBytes) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> any16(-32768, 32767);
  std::uniform_int_distribution<int> small(-64, 64);
  std::uniform_int_distribution<int> table(1, 255);
  const int16_t extremes[] = {-32768, 32767, -1, 0, 1, 16384, -16384, 255, -256};
  for (int trial = 0; trial < 3000; ++trial) {
    int16_t coefficients[64];
    int16_t scaled[64];
    for (int i = 0; i < 64; ++i) {
      switch (trial % 4) {
        case 0:
          coefficients[i] = static_cast<int16_t>(any16(random));
          scaled[i] = static_cast<int16_t>(any16(random));
          break;
        case 1:
          coefficients[i] = static_cast<int16_t>(small(random));
          scaled[i] = static_cast<int16_t>((table(random) * kJpegAanScale[i] + 2048) >> 12);
          break;
        case 2:
          coefficients[i] = extremes[random() % 9];
          scaled[i] = extremes[random() % 9];
          break;
        default:
          coefficients[i] = i == 0 || random() % 8 == 0 ? static_cast<int16_t>(small(random)) : 0;
          scaled[i] = static_cast<int16_t>(table(random) * 16);
      }
    }
    uint8_t vector[64];
    uint8_t scalar[64];
    fastInverseDct(coefficients, scaled, vector);
    fastInverseDctScalar(coefficients, scaled, scalar);
    ASSERT_EQ(0, std::memcmp(vector, scalar, 64)) << "trial " << trial;
  }
}

TEST(JpegFastTransform, DcOnlyBlocksAreFlat) {
  int16_t coefficients[64] = {};
  int16_t table[64];
  for (int i = 0; i < 64; ++i)
    table[i] = static_cast<int16_t>((16 * kJpegAanScale[i] + 2048) >> 12);
  for (int dc : {-200, -9, 0, 3, 50, 300}) {
    coefficients[0] = static_cast<int16_t>(dc);
    uint8_t samples[64];
    fastInverseDctScalar(coefficients, table, samples);
    const int product = static_cast<int16_t>(dc * table[0]);
    const int expected = std::min(255, std::max(0, (product >> 5) + 128));
    for (uint8_t s : samples) EXPECT_EQ(s, expected) << dc;
  }
}

TEST(JpegIntegerTransform, DcOnlyBlocks) {
  for (int dc : {0, -1024, 100, -17, 1020, 2000}) {
    int16_t block[64] = {};
    block[0] = static_cast<int16_t>(dc);
    uint8_t samples[64];
    integerInverseDct(block, samples);
    const int expected = std::min(255, std::max(0, ((4 * dc + 16) >> 5) + 128));
    for (uint8_t s : samples) EXPECT_EQ(s, expected) << dc;
  }
}

// A single cosine: the accurate transform reproduces it to within rounding.
TEST(JpegIntegerTransform, ReconstructsABasisFunction) {
  const double pi = std::acos(-1.0);
  int16_t block[64] = {};
  block[8 * 1 + 2] = 200;  // vertical frequency 1, horizontal 2
  uint8_t samples[64];
  integerInverseDct(block, samples);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const double expected =
          128 + 200 / 4.0 * std::cos((2 * x + 1) * 2 * pi / 16) * std::cos((2 * y + 1) * pi / 16);
      EXPECT_NEAR(samples[8 * y + x], expected, 1.0) << x << "," << y;
    }
  }
}

TEST(JpegIntegerTransform, ExtremeCoefficientsStayInRange) {
  std::mt19937 random(99);
  for (int trial = 0; trial < 200; ++trial) {
    int16_t block[64];
    for (int16_t& c : block) c = static_cast<int16_t>(random() % 2 ? 32767 : -32768);
    uint8_t samples[64];
    integerInverseDct(block, samples);  // wraps like 32-bit arithmetic; no undefined behaviour
  }
}

// Every pair of chroma values, with luma at the ends and in between, both samplings.
TEST(JpegColourConversion, VectorAndScalarGiveIdenticalBytes) {
  JpegColourTables tables;
  buildColourTables(tables);
  uint8_t y[8] = {0, 1, 17, 128, 200, 254, 255, 77};
  for (int blue = 0; blue < 256; ++blue) {
    for (int red = 0; red < 256; red += 1) {
      uint8_t cb[8];
      uint8_t cr[8];
      for (int i = 0; i < 8; ++i) {
        cb[i] = static_cast<uint8_t>(blue + 37 * i);
        cr[i] = static_cast<uint8_t>(red + 91 * i);
      }
      for (bool half : {false, true}) {
        uint8_t vector[32];
        uint8_t scalar[32];
        convertEightPixels(y, cb, cr, half, tables, vector);
        convertEightPixelsScalar(y, cb, cr, half, tables, scalar);
        ASSERT_EQ(0, std::memcmp(vector, scalar, 32)) << blue << "," << red << "," << half;
      }
    }
    y[blue % 8] = static_cast<uint8_t>(blue);
  }
}

TEST(JpegColourConversion, ChromaSharingAndClamping) {
  JpegColourTables tables;
  buildColourTables(tables);
  const uint8_t y[8] = {255, 0, 128, 128, 128, 128, 128, 128};
  const uint8_t cb[8] = {128, 0, 128, 128, 10, 20, 30, 40};
  const uint8_t cr[8] = {255, 128, 128, 128, 50, 60, 70, 80};
  uint8_t out[32];
  convertEightPixelsScalar(y, cb, cr, false, tables, out);
  EXPECT_EQ(out[0], 255);    // Y 255, Cr 255: red clamps
  EXPECT_EQ(out[4 + 2], 0);  // Y 0, Cb 0: blue clamps
  EXPECT_EQ(out[8], 128);
  EXPECT_EQ(out[8 + 3], 0);
  const uint8_t grey[8] = {128, 128, 128, 128, 128, 128, 128, 128};
  convertEightPixelsScalar(grey, cb + 4, cr + 4, true, tables, out);
  for (int i = 0; i < 8; i += 2)
    EXPECT_EQ(0, std::memcmp(out + 4 * i, out + 4 * i + 4, 4)) << i;  // pairs share chroma
}

}  // namespace
}  // namespace vz
