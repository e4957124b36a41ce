// Inverse DCTs and colour tables of the JPEG decoder.
#pragma once

#include <cstdint>

namespace vz {

// Zig-zag position k -> natural (row-major) position.
extern const uint8_t kJpegZigZag[64];

// The AAN scale factors, 16384 x a(u) x a(v), natural order, with a(0) = 1 and
// a(k) = sqrt(2) x cos(k pi / 16).
extern const int16_t kJpegAanScale[64];

// Fast 16-bit AAN transform: coefficients (natural order) times the scaled table,
// columns first, 16-bit wrap-around, truncating shift by 5, saturated to bytes.
// Writes 64 samples, row-major. The vector version is used where the processor has
// SSE2; the scalar one gives identical bytes everywhere.
void fastInverseDctScalar(const int16_t* coefficients, const int16_t* scaledTable,
                          uint8_t* samples);
void fastInverseDct(const int16_t* coefficients, const int16_t* scaledTable, uint8_t* samples);

// Accurate integer transform on already dequantised coefficients (natural order);
// works in place in 'block', which is clobbered.
void integerInverseDct(int16_t* block, uint8_t* samples);

// Fixed-point YCbCr -> RGB tables, index = sample value.
struct JpegColourTables {
  int32_t crToRed[256];
  int32_t cbToBlue[256];
  int32_t crToGreen[256];
  int32_t cbToGreen[256];  // carries the rounding term
};
void buildColourTables(JpegColourTables& tables);

// Eight pixels Y, Cb, Cr -> R, G, B, 0 (32 bytes) by the tables, clamped to 0..255.
// halfChroma: the four chroma samples each colour two neighbouring pixels. The vector
// version computes the same values without the tables.
void convertEightPixelsScalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                              bool halfChroma, const JpegColourTables& tables, uint8_t* out);
void convertEightPixels(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma,
                        const JpegColourTables& tables, uint8_t* out);

}  // namespace vz
